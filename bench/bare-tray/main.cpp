// The floor the tray benchmark compares against: one tray icon with a two-item menu
// and nothing else, on the same Qt Widgets stack as the program.
//
// --text-window: also shows a small window of Chinese text for a second, as a notice
// would, then closes it. Its RSS afterwards is the floor for a program that has shown
// text: fonts and the text stack stay loaded.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

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

    if (QApplication::arguments().contains(QStringLiteral("--text-window"))) {
        auto* window = new QLabel(QStringLiteral("<b>新消息</b><br>一条带有中文的通知 A notice"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
        window->resize(300, 120);
        window->show();
        QTimer::singleShot(1000, window, &QWidget::close);
    }
    return QApplication::exec();
}
