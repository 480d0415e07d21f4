// The tray's decisions that need no desktop: the execute handler, the player
// commands and start, the version text, the single-instance gate, the tooltip record,
// the sibling programs, the skin choice, and the connection watch's looks and polls.
#include "ConnectionWatch.h"
#include "Fakes.h"
#include "LinkExecute.h"
#include "LinkProtocol.h"
#include "NotifyIconData.h"
#include "PlayerControl.h"
#include "Seams.h"
#include "SiblingPrograms.h"
#include "Skin.h"
#include "StartupGate.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TrayState.h"
#include "TrayTexts.h"
#include "VbError.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <stdexcept>

Q_DECLARE_METATYPE(TrayIconState)

namespace {
struct RecordingHost : TrayHostActions {
    void DeleteTrayIcon() override { log << "delete"; }
    void ShowAppIcoMain() override { log << "show"; }
    void QuitTray() override { log << "quit"; }
    void OpenWindow(HostWindow window) override { log << QStringLiteral("window %1").arg(int(window)); }
    bool TrayHostPresent() const override { return trayPresent; }
    QStringList log;
    bool trayPresent = true;
};

struct FakeProbe : ConnectionProbe {
    bool isConnected(QString*) override {
        if (fail)
            throw VbError(VbError::InvalidArgument);
        return online;
    }
    bool online = true;
    bool fail = false;
};

// A watch whose unread count and download are set per test, counting their calls.
struct Rig {
    FakeProbe probe;
    std::function<qint64()> unread = [] { return qint64(0); };
    std::function<bool()> download = [] { return false; };
    int reads = 0;
    int downloads = 0;
    ConnectionWatch watch{probe, [this] { return ++reads, unread(); }, [this] { return ++downloads, download(); }};
    QSignalSpy icon{&watch, &ConnectionWatch::iconStateRequested};
    QSignalSpy notices{&watch, &ConnectionWatch::newNoticeAvailable};

    // Seconds of the host: the connection tick, then the notice tick when the connection
    // tick left the notice timer running (as the two one-second timers do).
    void run(int seconds, const std::function<bool(qint32 tick)>& onlineAt = {}) {
        for (int i = 0; i < seconds; ++i) {
            if (onlineAt)
                probe.online = onlineAt(watch.connectTicks() + 1);
            watch.onConnectTick();
            if (watch.noticeTimer().isActive())
                watch.onNoticeTick();
        }
    }
    QList<TrayIconState> looks() const {
        QList<TrayIconState> out;
        for (const auto& args : icon)
            out.append(args.at(0).value<TrayIconState>());
        return out;
    }
};

} // namespace

class TestTrayLogic : public QObject {
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
        QVERIFY(gate.claimOrForward(QStringLiteral("/u|||x|||")) && link.calls.isEmpty());

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

        // Blank path, a path that is gone, a program that does not start: not installed.
        launcher.succeed = false;
        for (const QString& p : QStringList{"  ", home.path() + "/missing/Garden", installed}) {
            instPaths.path = p;
            QVERIFY(!siblings.start(e));
        }
        QCOMPARE(launcher.started.size(), 2); // only the existing file was tried
        QCOMPARE(prompt.calls.size(), 3);     // one for each failed start, none for the one that started
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
        QCOMPARE(QStringList({c.skinPath, c.scheme}), QStringList({folder + "Mine.qss", "Soft"}));

        SkinEngine engine;
        QVERIFY(!engine.LoadSkin(c.skinPath, c.scheme)); // named skin missing
        QVERIFY(writeFile(c.skinPath, "X{}\n/* [Soft] */\nY{}\n"));
        QVERIFY(engine.LoadSkin(c.skinPath, c.scheme));
        QCOMPARE(engine.styleSheet(), QStringLiteral("X{}\nY{}\n"));
    }

    // Every 300th online tick reads the unread count: two or more unread notices show
    // the unread look, one alone the normal look, and a failed read changes nothing.
    // Each offline tick shows the offline look and stops the notice clock; a probe that
    // fails counts as offline.
    void looks() {
        Rig r;
        r.unread = [&]() -> qint64 { return r.reads == 4 ? throw std::runtime_error("locked") : r.reads - 1; };
        const auto online = [](qint32 tick) { return tick < 1050 || tick >= 1060; };
        r.run(1199, online);
        // Ticks 300, 600, 900 with 0, 1, 2 unread; 1050..1059 offline; the read at 1200 fails.
        QCOMPARE(r.looks(),
                 QList<TrayIconState>({TrayIconState::Normal, TrayIconState::Normal, TrayIconState::Unread}) +
                     QList<TrayIconState>(10, TrayIconState::Offline));
        QVERIFY(r.watch.noticeTimer().isActive());
        r.run(301, online);
        QCOMPARE(r.icon.count(), 14);
        QCOMPARE(r.looks().last(), TrayIconState::Unread);
        QCOMPARE(r.reads, 5);

        // Offline through tick 1800: only the offline look, no unread refresh on the multiple of 300.
        r.run(300, [](qint32) { return false; });
        QVERIFY(r.icon.count() == 314 && r.reads == 5 && !r.watch.noticeTimer().isActive());
        r.run(1, [](qint32) { return true; });
        r.probe.fail = true;
        r.watch.onConnectTick();
        QVERIFY(!r.watch.noticeTimer().isActive() && r.icon.count() == 315);
        QCOMPARE(r.looks().last(), TrayIconState::Offline);
        QCOMPARE(r.watch.connectTicks(), 1802);
    }

    // The notice clock counts online seconds only, across gaps; a download every 600th,
    // a failed one leaving the ticks going.
    void downloadsEvery600OnlineSeconds() {
        Rig r;
        // The first download throws; the third finds a notice.
        r.download = [&]() -> bool {
            return r.downloads == 1 ? throw VbError(VbError::FileNotFound) : r.downloads == 3;
        };
        // 130 offline seconds in three gaps before the 600th online second.
        const auto online = [](qint32 tick) {
            return !((tick > 100 && tick <= 150) || (tick > 300 && tick <= 370) || (tick > 500 && tick <= 510));
        };
        r.run(729, online);
        QVERIFY(r.watch.noticeTicks() == 599 && r.downloads == 0);
        r.run(1, online);
        QVERIFY(r.watch.noticeTicks() == 600 && r.downloads == 1 && r.notices.isEmpty());
        r.run(1200, online);
        QVERIFY(r.watch.noticeTicks() == 1800 && r.downloads == 3 && r.notices.count() == 1);
    }

    // The benchmark's knob shortens the download period alone; a value that is no
    // positive number leaves the 600 ticks.
    void pollTicksFromTheEnvironment() {
        for (const auto& [value, period] : {std::pair{"3", 3}, {"0", 600}, {"soon", 600}}) {
            qputenv("VANTOBEL_TRAY_POLL_TICKS", value);
            Rig r;
            qunsetenv("VANTOBEL_TRAY_POLL_TICKS");
            r.download = [] { return true; };
            r.run(period - 1);
            QCOMPARE(r.downloads, 0);
            r.run(period + 1);
            QVERIFY2(r.downloads == 2 && r.notices.count() == 2, value);
        }
    }
};

VT_TEST(TestTrayLogic)
#include "test_tray_logic.moc"
