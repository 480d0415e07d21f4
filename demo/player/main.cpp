// A stand-in for the real player: it listens on the player's link topic, shows the
// mode and user it was given, and records every command, so that the tray can be
// tried and tested end to end.

#include "DemoLog.h"
#include "LinkClient.h"
#include "LinkServer.h"
#include "PlayerWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VantobelPlay"));

    QStringList arguments = QApplication::arguments().mid(1);
    const DemoLog log(DemoLog::takeLogPath(arguments, "VANTOBEL_PLAYER_LOG"));
    const QString command = arguments.join(QLatin1Char(' '));

    LinkServer server;
    if (!server.listen(kPlayerTopic)) {
        // Another player runs: hand it our command line, as a second start should.
        const int result = command.isEmpty() ? kLinkAccepted : linkExecute(kPlayerTopic, command, 10000);
        if (result != kLinkNoPartner) {
            std::fprintf(stderr, "VantobelPlay: another player is running (forward result %d)\n", result);
            return result == kLinkAccepted ? 0 : 1;
        }
        std::fprintf(stderr, "VantobelPlay: cannot listen on the player link yet; running on and trying again\n");
    }

    PlayerWindow window(log);
    QObject::connect(&server, &LinkServer::commandReceived, &window, &PlayerWindow::handleCommand);
    window.show();
    if (!command.isEmpty())
        QTimer::singleShot(0, &window, [&window, command] { window.handleCommand(command); });
    return app.exec();
}
