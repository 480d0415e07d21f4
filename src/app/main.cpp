#include "GlobalFunction.h"
#include "SessionPlatform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    chooseSessionPlatform();
    QApplication app(argc, argv);
    // The tray has no main window: closing a pop-up or the message box must not end it.
    app.setQuitOnLastWindowClosed(false);
    TrayProgram tray(QApplication::arguments().mid(1));
    if (!tray.Main())
        return 1;
    return QApplication::exec();
}
