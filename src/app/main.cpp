#include "AppIdentity.h"
#include "DisplayGuard.h"
#include "GlobalFunction.h"
#include "SessionPlatform.h"

#include <QApplication>
#include <optional>

int main(int argc, char* argv[]) {
    // --help and --version answer before any display or running tray is touched.
    if (const std::optional<int> code = AppIdentity::answerCommandLine(argc, argv))
        return *code;
    chooseSessionPlatform();
    std::optional<DisplayGuard> guard(std::in_place);
    QApplication app(argc, argv);
    guard.reset();
    AppIdentity::setUp(app);
    // The tray has no main window: closing a pop-up or the message box must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    TrayProgram tray(QApplication::arguments().mid(1));
    if (!tray.Main())
        return 1;
    return QApplication::exec();
}
