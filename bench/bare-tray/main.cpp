// The floor the tray benchmark compares against: one tray icon with a two-item menu
// and nothing else, on the same Qt Widgets stack as the program.
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);

    QSystemTrayIcon icon(app.style()->standardIcon(QStyle::SP_ComputerIcon));
    icon.setToolTip(QStringLiteral("bare-tray"));
    icon.setContextMenu(&menu);
    icon.show();
    return QApplication::exec();
}
