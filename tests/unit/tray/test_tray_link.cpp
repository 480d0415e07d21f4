// The tray's decisions that need no desktop: the execute handler, the player
// commands and start, the version text, the single-instance gate, the tooltip record,
// the sibling programs and the skin choice.
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

} // namespace

class TestTrayLink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What each command starts or shows, in turn on one tray; how a command fills the
    // tray state is the command replay's. The desktop entry's actions open their window
    // and leave the player's data alone, so a later left click starts the player as
    // before. A start from the menu ("/tray") opens the message box only where no tray
    // shows the icon, and does not read Sys.ini again.
    void executeTable() {
        TrayState s;
        RecordingHost host;
        const auto data = [&] {
            return QStringList(
                {s.CommandLine, s.CommandOption, s.PlayerType, s.ParentUser.joined(), s.ActiveUserField3});
        };
        const auto window = [](HostWindow w) { return QStringLiteral("window %1").arg(int(w)); };
        HandleLinkExecute(s, QStringLiteral("/u|||opt|||a|||b|||c|||d|||e|||f|||g"), host);
        const QStringList before = data();
        const struct {
            QString command;
            QStringList log;
            bool keepsData;
        } cases[] = {{"/messagebox|||", {window(HostWindow::MessageBox)}, true},
                     {"/SETTINGS|||HiddenTrayIco|||x", {window(HostWindow::Settings)}, true},
                     {"/About", {window(HostWindow::About)}, true},
                     {"/quit|||", {window(HostWindow::ExitQuestion)}, true},
                     {"/TRAY|||", {}, false},
                     {"/showappico|||hiddentrayico", {"delete", "show"}, false},
                     {"/EXIT", {"quit"}, false},
                     {"/tray|||z", {}, false},
                     {"", {}, false}};
        for (const auto& c : cases) {
            host.log.clear();
            HandleLinkExecute(s, c.command, host);
            QCOMPARE(host.log, c.log);
            QVERIFY(!c.keepsData || data() == before);
        }
        // An empty execute changes only the command line.
        QCOMPARE(data(), QStringList({"|||", "", "ParentPlayer", "a|||b|||c|||d|||e|||f|||g", "c"}));
        host.trayPresent = false;
        host.log.clear();
        HandleLinkExecute(s, QStringLiteral("/TRAY|||"), host);
        HandleLinkExecute(s, QStringLiteral("/b|||o|||1|||2|||3"), host); // other commands open nothing
        QVERIFY(host.log == QStringList{window(HostWindow::MessageBox)} && s.PlayerType == "BabyPlayer");
        QVERIFY(!windowCommand(QStringLiteral("/messageboxes")) && !windowCommand(QStringLiteral("x|||/about")));
        // The command line's arguments are one command text.
        QCOMPARE(commandTextFromArguments({"/b|||x", "a b"}), QStringLiteral("/b|||x a b"));
    }

    // Nobody answers: the player starts with the command and the main window hides; a
    // busy player (time-out) drops it. The updater is told the player's version.
    void playerStartAndUpdater() {
        TempProgramHome home;
        TrayState s;
        RecordingLauncher launcher;
        ScriptedLink link;
        int hidden = 0;
        ScriptedVersion versions{QStringLiteral("3.0.0.12")};
        PlayerControl player(s, launcher, link, versions);
        player.setHideMainWindow([&] { ++hidden; });
        s.applyStartCommand(QStringLiteral("/TRAY"), {}); // no Sys.ini: no player type
        QCOMPARE(player.defaultPlayerCommand(), QStringLiteral("/TRAY|||"));

        link.answers = {VbError::NoApplicationResponded, VbError::LinkTimeout, 0, VbError::NoApplicationResponded};
        player.PlaySettings();
        player.PlayBaby();
        QVERIFY(link.calls.size() == 2 && link.calls[0] == kPlayerTopic + "/PLAYSETTINGS");
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(launcher.started[0].program, home.path() + "/VantobelPlay");
        QCOMPARE(launcher.started[0].arguments, QStringList{"/PLAYSETTINGS"});
        QCOMPARE(hidden, 1);
        QCOMPARE(
            QStringList({player.SendToPlayer(QStringLiteral("/Exit")), player.SendToPlayer(QStringLiteral("/Exit"))}),
            QStringList({"", "282"}));

        QVERIFY(player.RunUpdate());
        QCOMPARE(versions.asked, home.path() + "/VantobelPlay");
        QCOMPARE(launcher.started[1].program, home.path() + "/Update");
        QCOMPARE(launcher.started[1].arguments, QStringList{"3.0.12|||ShowErr"});
        // A player whose version cannot be read still gives the updater a version.
        versions.version = QString();
        player.RunUpdate();
        QCOMPARE(launcher.started.last().arguments, QStringList{"0.0.0|||ShowErr"});
        QCOMPARE(PlayerControl::versionText(QStringLiteral("N/A")), QStringLiteral("0.0.0"));
    }

    void singleInstanceGate() {
        TrayState s;
        RecordingLauncher launcher;
        ScriptedLink link;
        ScriptedVersion versions;
        PlayerControl player(s, launcher, link, versions);
        struct : InstanceLock {
            bool tryAcquire() override { return free; }
            bool free = true;
        } lock;
        int pauses = 0;
        const StartupGate gate{.instance = lock, .player = player, .pause = [&] { ++pauses; }};
        QVERIFY(gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QVERIFY(link.calls.isEmpty());

        // The running tray is still starting: asked again until it listens.
        lock.free = false;
        link.answers = {282, 282, 0};
        QVERIFY(!gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QCOMPARE(link.calls, QStringList(3, kTrayTopic + "/u|||x|||"));
        QCOMPARE(pauses, 2);

        // Nobody ever answers: a few tries, then this copy ends all the same.
        link.calls.clear();
        link.answers = QList<int>(10, VbError::NoApplicationResponded);
        QVERIFY(!gate.claimOrForward(QStringLiteral("/u|||x|||")));
        QCOMPARE(link.calls.size(), gate.attempts);
        QCOMPARE(pauses, 2 + gate.attempts - 1); // no wait after the last try
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
        instPaths.path = installed;
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
            instPaths.path = p;
            QVERIFY(!siblings.start(e));
        }
        QCOMPARE(launcher.started.size(), 2); // only the existing file was tried
        QCOMPARE(prompt.calls.size(), 3);
        QVERIFY(prompt.calls[0].text == "未安装此插件，请下载安装！" && prompt.calls[0].title == "VantobelPlayTray" &&
                prompt.calls[0].icon == PromptIcon::Information);
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
