// The tray's decisions that need no desktop: the execute handler, the player
// commands and start, the version text, the single-instance gate.
#include "Fakes.h"
#include "LinkExecute.h"
#include "PlayerControl.h"
#include "LinkProtocol.h"
#include "StartupGate.h"
#include "TrayState.h"
#include "VbError.h"

#include <QTest>

namespace {
class RecordingHost : public TrayHostActions {
public:
    void DeleteTrayIcon() override { log << "delete"; }
    void ShowAppIcoMain() override { log << "show"; }
    void QuitTray() override { log << "quit"; }
    QStringList log;
};

UserRecord record(const QString& prefix) {
    UserRecord r;
    for (int i = 0; i < 7; ++i)
        r.Field[i] = prefix + QString::number(i + 1);
    return r;
}
} // namespace

class TestTrayLink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void executeTable() {
        TrayState s;
        RecordingHost host;
        HandleLinkExecute(s, QStringLiteral("/u|||opt|||a|||b|||c|||d|||e|||f|||g"), host);
        QCOMPARE(s.ParentUser.joined(), QStringLiteral("a|||b|||c|||d|||e|||f|||g"));
        QCOMPARE(s.PlayerType, QStringLiteral("ParentPlayer"));
        QCOMPARE(s.CommandOption, QStringLiteral("OPT"));
        QVERIFY(host.log.isEmpty()); // nothing is started or shown

        // A second start's command line already ends in "|||" and gets one more.
        s.BabyUser = record("k");
        HandleLinkExecute(s, QStringLiteral("/B|||o|||1|||2|||3|||"), host);
        QCOMPARE(s.BabyUser.joined(), QStringLiteral("1|||2|||3|||||||||k6|||k7"));
        QCOMPARE(s.PlayerType, QStringLiteral("BabyPlayer"));

        HandleLinkExecute(s, QStringLiteral("/showappico|||hiddentrayico"), host);
        QCOMPARE(host.log, QStringList({"delete", "show"}));
        HandleLinkExecute(s, QStringLiteral("/EXIT"), host);
        QCOMPARE(host.log.last(), QStringLiteral("quit"));

        // "/tray" does not read Sys.ini again; an empty execute changes only the command line.
        host.log.clear();
        HandleLinkExecute(s, QStringLiteral("/tray|||z"), host);
        HandleLinkExecute(s, QString(), host);
        QVERIFY(s.CommandLine == "|||" && s.CommandOption.isEmpty() && host.log.isEmpty());
        QCOMPARE(s.PlayerType + s.ActiveUserField3, QStringLiteral("BabyPlayer3"));
    }

    void playerCommandsAndStart() {
        TempProgramHome home;
        TrayState s;
        RecordingLauncher launcher;
        QStringList sent;
        QList<int> answers;
        int hidden = 0;
        const auto link = [&](const QString& topic, const QString& command) {
            sent << topic + " " + command;
            return answers.isEmpty() ? 0 : answers.takeFirst();
        };
        PlayerControl player(s, launcher, link, {});
        player.setHideMainWindow([&] { ++hidden; });

        s.applyStartCommand(QStringLiteral("/TRAY"), {}); // no Sys.ini: no player type
        QCOMPARE(player.defaultPlayerCommand(), QStringLiteral("/TRAY|||"));

        // Nobody answers: the player starts with the command and the main window hides.
        answers = {VbError::NoApplicationResponded};
        player.PlaySettings();
        QCOMPARE(sent, QStringList{kPlayerTopic + " /PLAYSETTINGS"});
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(launcher.started[0].program, home.path() + "/VantobelPlay");
        QCOMPARE(launcher.started[0].arguments, QStringList{"/PLAYSETTINGS"});
        QCOMPARE(hidden, 1);

        // A busy player (time-out) drops the command.
        answers = {VbError::LinkTimeout};
        player.PlayBaby();
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(player.SendToPlayer(QStringLiteral("/Exit")), QString());
        answers = {VbError::NoApplicationResponded};
        QCOMPARE(player.SendToPlayer(QStringLiteral("/Exit")), QStringLiteral("282"));
    }

    void versionAndUpdater() {
        QCOMPARE(PlayerControl::versionText(QStringLiteral("N/A")), QStringLiteral("0.0.0"));

        TempProgramHome home;
        TrayState s;
        RecordingLauncher launcher;
        QString asked;
        PlayerControl player(s, launcher, {}, [&](const QString& path) {
            asked = path;
            return QStringLiteral("3.0.0.12");
        });
        QVERIFY(player.RunUpdate());
        QCOMPARE(asked, home.path() + "/VantobelPlay");
        QCOMPARE(launcher.started[0].program, home.path() + "/Update");
        QCOMPARE(launcher.started[0].arguments, QStringList{"3.0.12|||ShowErr"});

        // A player whose version cannot be read still gives the updater a version.
        PlayerControl broken(s, launcher, {}, [](const QString&) -> QString { throw VbError(53); });
        broken.RunUpdate();
        QCOMPARE(launcher.started.last().arguments, QStringList{"0.0.0|||ShowErr"});
    }

    void singleInstanceGate() {
        QStringList forwarded;
        int pauses = 0;
        QList<int> answers;
        StartupGate gate;
        gate.forward = [&](const QString& c) {
            forwarded << c;
            return answers.isEmpty() ? VbError::NoApplicationResponded : answers.takeFirst();
        };
        gate.pause = [&] { ++pauses; };
        gate.tryAcquire = [] { return true; };
        QVERIFY(gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QVERIFY(forwarded.isEmpty());

        // The running tray is still starting: asked again until it listens.
        gate.tryAcquire = [] { return false; };
        answers = {282, 282, 0};
        QVERIFY(!gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QCOMPARE(forwarded, QStringList(3, "/u|||x|||"));
        QCOMPARE(pauses, 2);

        // Nobody ever answers: a few tries, then this copy ends all the same.
        forwarded.clear();
        QVERIFY(!gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QCOMPARE(forwarded.size(), gate.attempts);
    }
};

QTEST_GUILESS_MAIN(TestTrayLink)
#include "test_tray_link.moc"
