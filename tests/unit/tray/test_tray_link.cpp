// The tray's decisions that need no desktop: the execute handler, the player
// commands and start, the version text, the single-instance gate, the tooltip record,
// the sibling programs and the skin choice.
#include "AnsiCodePage.h"
#include "Fakes.h"
#include "LinkExecute.h"
#include "LinkProtocol.h"
#include "NotifyIconData.h"
#include "PlayerControl.h"
#include "SiblingPrograms.h"
#include "Skin.h"
#include "StartupGate.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TrayState.h"
#include "TrayTexts.h"
#include "VbError.h"

#include <QTest>

namespace {
class RecordingHost : public TrayHostActions {
public:
    void DeleteTrayIcon() override { log << "delete"; }
    void ShowAppIcoMain() override { log << "show"; }
    void QuitTray() override { log << "quit"; }
    void OpenWindow(HostWindow window) override { log << QStringLiteral("window %1").arg(int(window)); }
    bool TrayHostPresent() const override { return trayPresent; }
    QStringList log;
    bool trayPresent = true;
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
        // The command line's arguments are one command text.
        QCOMPARE(commandTextFromArguments({"/b|||x", "a b"}), QStringLiteral("/b|||x a b"));
    }

    // The desktop entry's actions open their window and leave the player's data alone,
    // so a later left click starts the player as before. A start from the menu ("/tray")
    // opens the message box only where no tray shows the icon.
    void windowCommands() {
        TrayState s;
        RecordingHost host;
        HandleLinkExecute(s, QStringLiteral("/u|||opt|||a|||b|||c|||d|||e|||f|||g"), host);
        const TrayState before = s;
        const QPair<QString, HostWindow> cases[] = {
            {"/messagebox|||", HostWindow::MessageBox},
            {"/SETTINGS|||HiddenTrayIco|||x", HostWindow::Settings},
            {"/About", HostWindow::About},
            {"/quit|||", HostWindow::ExitQuestion},
        };
        for (const auto& [command, window] : cases) {
            host.log.clear();
            HandleLinkExecute(s, command, host);
            QCOMPARE(host.log, QStringList{QStringLiteral("window %1").arg(int(window))});
            QCOMPARE(s.CommandLine + s.CommandOption + s.PlayerType + s.ParentUser.joined() + s.ActiveUserField3,
                     before.CommandLine + before.CommandOption + before.PlayerType + before.ParentUser.joined() +
                         before.ActiveUserField3);
        }
        QVERIFY(!windowCommand(QStringLiteral("/messageboxes")) && !windowCommand(QStringLiteral("x|||/about")));

        host.log.clear();
        HandleLinkExecute(s, QStringLiteral("/TRAY|||"), host);
        QVERIFY(host.log.isEmpty());
        host.trayPresent = false;
        HandleLinkExecute(s, QStringLiteral("/TRAY|||"), host);
        QCOMPARE(host.log, QStringList{QStringLiteral("window %1").arg(int(HostWindow::MessageBox))});
        HandleLinkExecute(s, QStringLiteral("/b|||o|||1|||2|||3"), host);
        QCOMPARE(host.log.size(), 1); // other commands open nothing, tray or not
    }

    void playerCommandsAndStart() {
        TempProgramHome home;
        TrayState s;
        RecordingLauncher launcher;
        ScriptedLink link;
        QStringList& sent = link.calls;
        QList<int>& answers = link.answers;
        int hidden = 0;
        PlayerControl player(s, launcher, link, {});
        player.setHideMainWindow([&] { ++hidden; });

        s.applyStartCommand(QStringLiteral("/TRAY"), {}); // no Sys.ini: no player type
        QCOMPARE(player.defaultPlayerCommand(), QStringLiteral("/TRAY|||"));

        // Nobody answers: the player starts with the command and the main window hides.
        answers = {VbError::NoApplicationResponded};
        player.PlaySettings();
        QCOMPARE(sent, QStringList{kPlayerTopic + "/PLAYSETTINGS"});
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
        ScriptedLink link;
        PlayerControl player(s, launcher, link, [&](const QString& path) {
            asked = path;
            return QStringLiteral("3.0.0.12");
        });
        QVERIFY(player.RunUpdate());
        QCOMPARE(asked, home.path() + "/VantobelPlay");
        QCOMPARE(launcher.started[0].program, home.path() + "/Update");
        QCOMPARE(launcher.started[0].arguments, QStringList{"3.0.12|||ShowErr"});

        // A player whose version cannot be read still gives the updater a version.
        PlayerControl broken(s, launcher, link, [](const QString&) -> QString { throw VbError(53); });
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

    void tooltipsAreCutAt64BytesOnACharacterBoundary() {
        NotifyIconData d;
        d.setTip(TrayTexts::offlineTip());
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：（离线）\r\nhttp://www.vantobel.example\r\n"));
        QVERIFY(d.tipField().size() == 64 && d.tipField().endsWith(' ')); // padded behind the NUL

        // The unread text is longer than the field: its end (and its NUL) is lost.
        d.setTip(TrayTexts::unreadTip());
        QCOMPARE(d.tipText(), QStringLiteral("Brightsprout培养助手：您有未读消息！\r\nhttp://www.vantobel.exampl"));

        // One ASCII byte, then two-byte characters: 63 bytes fit, the 64th would be half a character.
        d.setTip(QStringLiteral("a") + QString(40, QChar(0x4E2D)));
        QCOMPARE(d.tipBytes().size(), 63);
        QCOMPARE(d.tipText(), QStringLiteral("a") + QString(31, QChar(0x4E2D)));
        d.setTip(QChar(0) + QStringLiteral("hidden")); // the icon shows the text up to the NUL
        QCOMPARE(d.tipText(), QString());
        // Characters outside the code page count as the one byte they become.
        QCOMPARE(NotifyIconData::cutText(QString::fromUtf8("\xF0\x9F\x98\x80xy"), 2), QStringLiteral("?x"));
        // A lone surrogate is one character of its own, never paired with the next.
        QCOMPARE(NotifyIconData::cutText(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("bc"), 2),
                 QStringLiteral("a?"));
    }

    void siblingProgramsStartOrSendTheUserToTheirPage() {
        TempProgramHome home;
        const QString installed = home.path() + "/garden/Garden";
        QVERIFY(writeFile(installed, "#!/bin/sh\n"));
        TrayState s;
        s.BabyUser.Field = {"b1", "b2", "b3", "b4", "b5", "b6", "b7"};
        FixedInstPath instPaths;
        QString& path = instPaths.path;
        path = installed;
        RecordingLauncher launcher;
        RecordingPrompt prompt;
        QStringList opened;
        SiblingLauncher siblings(s, instPaths, launcher, prompt, [&](const QString& u) { opened << u; });
        const SiblingEntry e{"Garden", "Garden", "/v", "/k", "http://d.example/g"};

        QCOMPARE(siblingParameters(s, e), QStringLiteral("/v|||/k"));
        s.PlayerType = QStringLiteral("babyPLAYER");
        QVERIFY(siblings.start(e));
        QCOMPARE(launcher.started[0].program, installed);
        QCOMPARE(launcher.started[0].arguments, QStringList{"/v|||b1|||b2|||b3|||b4|||b5|||b6|||b7|||/k"});
        QVERIFY(prompt.calls.isEmpty());

        // Blank path, a path that is gone, a program that does not start: not installed.
        launcher.succeed = false;
        for (const QString& p : QStringList{"  ", home.path() + "/missing/Garden", installed}) {
            path = p;
            QVERIFY(!siblings.start(e));
        }
        QCOMPARE(launcher.started.size(), 2); // only the existing file was tried
        QCOMPARE(prompt.calls.size(), 3);
        const PromptCall& c = prompt.calls[0];
        QVERIFY(c.text == "未安装此插件，请下载安装！" && c.title == "VantobelPlayTray" &&
                c.icon == PromptIcon::Information);
        QCOMPARE(opened, QStringList(3, "http://d.example/g"));
    }

    void skinChoiceAndSchemes() {
        const QString qss = QStringLiteral("A{}\r\n/* [Normal] */\r\nB{}\n  /*[soft]*/  \nC{}\n/* [Other] */\nD{}\n");
        QCOMPARE(SkinEngine::selectScheme(qss, QStringLiteral("SOFT")), QStringLiteral("A{}\nC{}\n"));
        // Only a bracketed name alone in its comment starts a section; an empty name is a section too.
        const QString odd = QStringLiteral("A{}\n/* [x] y */\nB{}\n/* [] */\nC{}\n/*[a]b]*/\nD{}\n");
        QCOMPARE(SkinEngine::selectScheme(odd, QString()), QStringLiteral("A{}\n/* [x] y */\nB{}\n"));

        TempProgramHome home;
        const QString folder = home.path() + "/Skin/";
        QCOMPARE(readSkinChoice(folder).skinPath, folder); // no choice file: the bare folder
        QVERIFY(writeFile(folder + "DefaultSkin.ini", "skinfile=Mine.qss\r\nSKININIFILE=Soft\r\nSkinFile=B.qss\r\n"));
        const SkinChoice c = readSkinChoice(folder);
        QCOMPARE(c.skinPath, folder + "Mine.qss");
        QCOMPARE(c.scheme, QStringLiteral("Soft"));

        SkinEngine engine;
        QVERIFY(!engine.LoadSkin(c.skinPath, c.scheme)); // named skin missing
        QVERIFY(writeFile(c.skinPath, "X{}\n/* [Soft] */\nY{}\n"));
        QVERIFY(engine.LoadSkin(c.skinPath, c.scheme));
        QCOMPARE(engine.styleSheet(), QStringLiteral("X{}\nY{}\n"));
    }
};

VT_TEST(TestTrayLink)
#include "test_tray_link.moc"
