// The tray's decisions that need no desktop: the execute handler, the player
// commands and start, the version text, the single-instance gate.
#include "Fakes.h"
#include "LinkExecute.h"
#include "PlayerControl.h"
#include "PlayerLink.h"
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

struct LinkCall {
    QString topic;
    QString command;
};

// A link whose answers are queued (0 when none is left); records every call.
struct FakeLink {
    QList<LinkCall> calls;
    QList<int> answers;
    PlayerControl::LinkClient client() {
        return [this](const QString& topic, const QString& command) {
            calls.append({topic, command});
            return answers.isEmpty() ? 0 : answers.takeFirst();
        };
    }
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
    void userExecutesTakeTheDataAndStartNothing() {
        TrayState s;
        RecordingHost host;
        HandleLinkExecute(s, QStringLiteral("/u|||opt|||a|||b|||c|||d|||e|||f|||g"), host);
        QCOMPARE(s.ParentUser.joined(), QStringLiteral("a|||b|||c|||d|||e|||f|||g"));
        QCOMPARE(s.PlayerType, QStringLiteral("ParentPlayer"));
        QCOMPARE(s.ActiveUserField3, QStringLiteral("c"));
        QCOMPARE(s.CommandOption, QStringLiteral("OPT"));
        QVERIFY(host.log.isEmpty());

        // A second start's command line already ends in "|||" and gets one more.
        s.BabyUser = record("k");
        HandleLinkExecute(s, QStringLiteral("/B|||o|||1|||2|||3|||"), host);
        QCOMPARE(s.BabyUser.joined(), QStringLiteral("1|||2|||3|||||||||k6|||k7"));
        QCOMPARE(s.PlayerType, QStringLiteral("BabyPlayer"));
        QCOMPARE(s.CommandLine, QStringLiteral("/B|||o|||1|||2|||3||||||"));
        QVERIFY(host.log.isEmpty());
    }

    void iconAndQuitCommands() {
        TrayState s;
        RecordingHost host;
        HandleLinkExecute(s, QStringLiteral("/showappico|||hiddentrayico"), host);
        QCOMPARE(host.log, QStringList({"delete", "show"}));

        host.log.clear();
        HandleLinkExecute(s, QStringLiteral("/u|||HiddenTrayIco|||a|||b|||c"), host);
        QCOMPARE(host.log, QStringList({"delete"}));
        QCOMPARE(s.PlayerType, QStringLiteral("ParentPlayer"));

        host.log.clear();
        HandleLinkExecute(s, QStringLiteral("/EXIT"), host);
        QCOMPARE(host.log, QStringList({"quit"}));
    }

    void otherExecutesChangeOnlyTheCommandLine() {
        TrayState s;
        s.PlayerType = QStringLiteral("BabyPlayer");
        s.ParentUser = record("p");
        s.ActiveUserField3 = QStringLiteral("x");
        RecordingHost host;

        HandleLinkExecute(s, QStringLiteral("/tray|||z"), host);
        QCOMPARE(s.CommandLine, QStringLiteral("/tray|||z|||"));
        QCOMPARE(s.CommandOption, QStringLiteral("Z"));
        QCOMPARE(s.PlayerType, QStringLiteral("BabyPlayer")); // Sys.ini is not read again

        HandleLinkExecute(s, QString(), host);
        QCOMPARE(s.CommandLine, QStringLiteral("|||"));
        QCOMPARE(s.CommandOption, QString());
        QCOMPARE(s.PlayerType, QStringLiteral("BabyPlayer"));
        QCOMPARE(s.ParentUser.joined(), record("p").joined());
        QCOMPARE(s.ActiveUserField3, QStringLiteral("x"));
        QVERIFY(host.log.isEmpty());
    }

    void defaultPlayerCommandFollowsThePlayerType() {
        TrayState s;
        s.BabyUser = record("b");
        s.ParentUser = record("p");
        RecordingLauncher launcher;
        FakeLink link;
        PlayerControl player(s, launcher, link.client(), {});

        s.applyStartCommand(QStringLiteral("/TRAY"), {}); // no Sys.ini: no player type
        QCOMPARE(player.defaultPlayerCommand(), QStringLiteral("/TRAY|||"));
        s.PlayerType = QStringLiteral("BABYPLAYER");
        QCOMPARE(player.defaultPlayerCommand(), QStringLiteral("/B|||") + record("b").joined());
        s.PlayerType = QStringLiteral("ParentPlayer");
        QCOMPARE(player.defaultPlayerCommand(), QStringLiteral("/U|||") + record("p").joined());

        player.OpenDefaultPlayer();
        QCOMPARE(link.calls.size(), 1);
        QCOMPARE(link.calls[0].topic, kPlayerTopic);
        QCOMPARE(link.calls[0].command, QStringLiteral("/U|||") + record("p").joined());
        QVERIFY(launcher.started.isEmpty()); // the running player took it
    }

    void playerNotRunningIsStartedWithTheCommand() {
        TempProgramHome home;
        TrayState s;
        s.ParentUser = record("p");
        RecordingLauncher launcher;
        FakeLink link;
        int hidden = 0;
        PlayerControl player(s, launcher, link.client(), {});
        player.setHideMainWindow([&] { ++hidden; });

        link.answers = {VbError::NoApplicationResponded};
        player.PlayParent();
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(launcher.started[0].program, home.path() + "/VantobelPlay");
        QCOMPARE(launcher.started[0].arguments, QStringList{QStringLiteral("/U|||") + record("p").joined()});
        QCOMPARE(hidden, 1);

        // A busy player (time-out) or any other failure drops the command.
        link.answers = {VbError::LinkTimeout};
        player.PlaySettings();
        QCOMPARE(link.calls.last().command, QStringLiteral("/PLAYSETTINGS"));
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(hidden, 1);
    }

    void sendToPlayerReportsTheErrorNumber() {
        TrayState s;
        RecordingLauncher launcher;
        FakeLink link;
        link.answers = {0, VbError::NoApplicationResponded};
        PlayerControl player(s, launcher, link.client(), {});
        QCOMPARE(player.SendToPlayer(QStringLiteral("/Exit")), QString());
        QCOMPARE(player.SendToPlayer(QStringLiteral("/Exit")), QStringLiteral("282"));

        PlayerControl throwing(s, launcher, [](const QString&, const QString&) -> int { throw VbError(286); }, {});
        QCOMPARE(throwing.SendToPlayer(QStringLiteral("x")), QStringLiteral("286"));
        QCOMPARE(throwing.ForwardToRunningTray(QStringLiteral("x")), 286);
    }

    void versionAndUpdater() {
        QCOMPARE(PlayerControl::versionText(QStringLiteral("2.1.0.57")), QStringLiteral("2.1.57"));
        QCOMPARE(PlayerControl::versionText(QStringLiteral("1.2.3")), PlayerControl::kUnknownVersion);
        QCOMPARE(PlayerControl::versionText(QStringLiteral("N/A")), PlayerControl::kUnknownVersion);
        QCOMPARE(PlayerControl::versionText(QString()), PlayerControl::kUnknownVersion);

        TempProgramHome home;
        TrayState s;
        RecordingLauncher launcher;
        QString asked;
        PlayerControl player(s, launcher, {}, [&](const QString& path) {
            asked = path;
            return QStringLiteral("3.0.0.12");
        });
        QCOMPARE(player.PlayerVersion(), QStringLiteral("3.0.12"));
        QCOMPARE(asked, home.path() + "/VantobelPlay");
        QVERIFY(player.RunUpdate());
        QCOMPARE(launcher.started.size(), 1);
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
        QVERIFY(gate.claimOrForward(QStringLiteral("/b|||")));
        QVERIFY(forwarded.isEmpty());

        gate.tryAcquire = [] { return false; };
        answers = {0};
        QVERIFY(!gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QCOMPARE(forwarded, QStringList{"/u|||x|||"});

        // The running tray is still starting: ask again until it listens.
        forwarded.clear();
        answers = {282, 282, 0};
        QVERIFY(!gate.claimOrForward(QStringLiteral("c")));
        QCOMPARE(forwarded.size(), 3);
        QCOMPARE(pauses, 2);

        // Nobody ever answers: a few tries, then this copy ends all the same.
        forwarded.clear();
        answers.clear();
        QVERIFY(!gate.claimOrForward(QStringLiteral("c")));
        QCOMPARE(forwarded.size(), gate.attempts);

        // A tray that listens but does not answer in time is not asked again.
        forwarded.clear();
        answers = {VbError::LinkTimeout};
        QVERIFY(!gate.claimOrForward(QStringLiteral("c")));
        QCOMPARE(forwarded.size(), 1);

        gate.tryAcquire = []() -> bool { throw VbError(5); };
        answers = {0};
        QVERIFY(!gate.claimOrForward(QStringLiteral("c")));
    }
};

QTEST_GUILESS_MAIN(TestTrayLink)
#include "test_tray_link.moc"
