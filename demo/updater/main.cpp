// A stand-in for the real updater: the tray starts it with the player version
// followed by "|||ShowErr" as one argument.

#include "DemoLog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Update"));

    QStringList arguments = QApplication::arguments().mid(1);
    const DemoLog log(DemoLog::takeLogPath(arguments, "VANTOBEL_UPDATER_LOG"));
    log.line(arguments.join(QLatin1Char(' ')));

    const QString first = arguments.value(0);
    const QString version = first.section(QStringLiteral("|||"), 0, 0);
    const bool showErrors = first.section(QStringLiteral("|||"), 1)
                                .split(QStringLiteral("|||"))
                                .contains(QStringLiteral("ShowErr"), Qt::CaseInsensitive);

    QWidget window;
    window.setObjectName(QStringLiteral("updaterWindow"));
    window.setWindowTitle(QStringLiteral("VantobelPlay Update"));
    auto* layout = new QVBoxLayout(&window);
    auto* versionLabel = new QLabel(&window);
    versionLabel->setObjectName(QStringLiteral("version"));
    versionLabel->setTextFormat(Qt::PlainText);
    versionLabel->setText(version.isEmpty() ? QStringLiteral("Installed version: unknown")
                                            : QStringLiteral("Installed version: ") + version);
    layout->addWidget(versionLabel);
    layout->addWidget(new QLabel(showErrors ? QStringLiteral("You are up to date. (errors will be shown)")
                                            : QStringLiteral("You are up to date."),
                                 &window));
    auto* close = new QPushButton(QStringLiteral("Close"), &window);
    QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);
    layout->addWidget(close);
    window.resize(300, 120);
    window.show();
    return app.exec();
}
