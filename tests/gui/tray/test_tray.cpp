// The tray program on the offscreen platform: its identity and command line, the graph
// Main builds, the host window with its menu, icon and quitting.
#include "AppIdentity.h"
#include "Fakes.h"
#include "GlobalFunction.h"
#include "LinkFolder.h"
#include "LinkFrame.h"
#include "LinkProtocol.h"
#include "LogLines.h"
#include "MessageBox.h"
#include "PlayerControl.h"
#include "PopNotice.h"
#include "QtPrompt.h"
#include "SysLoad.h"
#include "SysSettings.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TrayMenu.h"
#include "TrayState.h"
#include "TrayWindows.h"
#include "VbError.h"
#include "WebNews.h"
#include "WindowTestKit.h"
#include "sAbout.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLocalSocket>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The contacts the host alone and the full start-up both record.
struct Contacts {
    TempProgramHome home;
    RecordingPrompt prompt;
    RecordingLauncher launcher;
    ScriptedLink link; // topic and command
    RecordingExit exiting;
};

// One host with every contact recorded, on a desktop whose tray is there or not as
// the test says.
struct Rig : Contacts, TrayHostProbe {
    bool trayPresent() override { return present; }
    bool itemOnDBus() override { return onDBus; }
    bool hostPending() override { return false; }
    bool present = false, onDBus = false;
    TrayState state;
    FixedInstPath instPaths;
    QStringList signedOpened, plainOpened;
    ScriptedVersion versions{QStringLiteral("2.1.0.57")};
    PlayerControl player{state, launcher, link, versions};
    SiblingLauncher siblings{state, instPaths, launcher, prompt, [this](const QString& u) { plainOpened << u; }};
    const WebHomeLinks web{[] { return QStringLiteral("http://home.example/manage"); },
                           [this](const QString& u) { signedOpened << u; },
                           [this](const QString& u) { plainOpened << u; }};
    SysLoad host{
        SysLoadDeps{state, player, siblings, prompt, *this, web, sysIni(), home.path() + "/Skin/", exiting, [] {}}};

    QString sysIni() const { return home.path() + "/Users/All Users/Sys.ini"; }
};

QStringList captions(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

// The graph Main builds, offline, with every contact faked.
struct Program : Contacts, ConnectionProbe, InstanceLock, MemoryRelease {
    bool isConnected(QString* = nullptr) override { return false; }
    bool tryAcquire() override { return !elsewhere; }
    void releaseFreeMemory() override { ++released; }
    bool elsewhere = false;
    int released = 0;
    RecordingUrlOpener urls;
    std::unique_ptr<TrayProgram> tray;

    bool start(const QStringList& arguments, bool listen = false) {
        const Platform replaced{.prompt = &prompt,
                                .urls = &urls,
                                .launcher = &launcher,
                                .connection = this,
                                .link = &link,
                                .instance = this,
                                .exit = &exiting,
                                .memory = this};
        tray = std::make_unique<TrayProgram>(arguments, replaced, listen);
        return tray->Main();
    }
};

QString yesButtonText() {
    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}
} // namespace

class TestTray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A box never holds the tray in a loop of its own: show() returns with the box
    // open and modeless, the menu still opens, one text is up once at most, and the
    // answer arrives through the callback.
    void promptsLeaveTheTrayFree() {
        Rig rig;
        rig.host.Load({});
        QtPrompt prompt;
        QList<PromptAnswer> answers;
        const auto keep = [&](PromptAnswer a) { answers << a; };
        prompt.show("退出？", "t", PromptIcon::Question, PromptButtons::YesNo, keep);
        prompt.show("退出？", "t", PromptIcon::Question, PromptButtons::YesNo, keep);
        prompt.show("出错了", "t", PromptIcon::Critical, PromptButtons::Ok, keep);
        QMessageBox* question = prompt.openBox("退出？");
        QVERIFY(question && question->isVisible() && prompt.openBox("出错了"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        int boxes = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            boxes += qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible();
        QCOMPARE(boxes, 2);
        Q_EMIT rig.host.trayIcon().menuRequested();
        QVERIFY(rig.host.trayMenu().menu()->isVisible());
        rig.host.trayMenu().menu()->close();

        question->button(QMessageBox::Yes)->click();
        QCOMPARE(answers, QList<PromptAnswer>{PromptAnswer::Yes});
        prompt.openBox("出错了")->close();
        QCOMPARE(answers, (QList<PromptAnswer>{PromptAnswer::Yes, PromptAnswer::Ok}));
        QTest::qWait(1);
        QVERIFY(!prompt.openBox("退出？"));
        prompt.show("退出？", "t", PromptIcon::Question, PromptButtons::YesNo, keep);
        prompt.openBox("退出？")->close(); // the title bar's close is "no"
        QCOMPARE(answers.last(), PromptAnswer::No);
    }

    void menuTreeAndSiblings() {
        Rig rig;
        rig.host.Load({});
        TrayMenu& m = rig.host.trayMenu();
        QCOMPARE(captions(m.menu()),
                 QStringList({"关于我们", "-", "升级更新", "系统设置", "儿歌播放器控制台", "-", "Brightsprout培养计划",
                              "-", "消息盒", "家务中心 (URL)", "-", "退出(&E)"}));
        QCOMPARE(m.close()->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        QCOMPARE(captions(m.playerMenu()), QStringList({"Vantobel儿歌播放器", "Vantobel胎教/育儿播放器"}));
        // No configured siblings: the plan's sub-menu holds only the player sub-menu.
        QCOMPARE(captions(m.brightsproutMenu()), QStringList{"Vantobel胎教/儿歌播放器"});
        QCOMPARE(rig.host.trayIcon().systemTrayIcon().toolTip(),
                 QStringLiteral("Brightsprout培养助手：\r\nhttp://www.vantobel.example"));

        // The web home page is signed only with the parent's name and password filled in.
        m.webHome()->trigger();
        QCOMPARE(rig.plainOpened, QStringList{"http://home.example/manage"});
        rig.state.applyStartCommand(QStringLiteral("/u|||o|||name|||pass|||f3|||4|||5|||6|||7"), {});
        m.webHome()->trigger();
        QCOMPARE(rig.signedOpened, QStringList{"http://home.example/manage"});
        rig.state.ParentUser.Field[1] = QStringLiteral("  ");
        m.webHome()->trigger();
        QCOMPARE(rig.plainOpened.size(), 2);
    }

    // An icon with no tray to go to yet, or hidden by the start command.
    void iconMissingLateOrHidden() {
        qputenv("VANTOBEL_TRAY_TICK_MS", "5");
        LogLines warnings("vantobel.tray");
        Rig rig;
        rig.onDBus = true;
        TrayIcon& icon = rig.host.trayIcon();
        rig.host.Load({});
        QTRY_COMPARE(warnings.lines.size(), 1);
        QVERIFY(warnings.lines.at(0).startsWith(QStringLiteral("no system tray found")));
        QTest::qWait(400);
        QCOMPARE(warnings.lines.size(), 1);
        // No platform icon yet: the first one decides where every later one goes.
        QVERIFY(icon.isWatchingForTray() && !icon.hasPlatformIcon());

        // A D-Bus host comes: said once more, and the icon with the menu and the look.
        rig.host.setIconState(TrayIconState::Offline);
        rig.present = true;
        QTRY_COMPARE(warnings.lines.size(), 2);
        QVERIFY(warnings.lines.at(1).startsWith(QStringLiteral("a system tray appeared")));
        QVERIFY(!icon.isWatchingForTray() && icon.hasPlatformIcon());
        QSystemTrayIcon& late = icon.systemTrayIcon();
        QCOMPARE(late.contextMenu(), rig.host.trayMenu().menu());
        QVERIFY(late.isVisible() && late.toolTip().contains(QStringLiteral("（离线）")));
        Q_EMIT late.activated(QSystemTrayIcon::Trigger);
        QCOMPARE(rig.link.calls.size(), 1);

        // An XEmbed tray at start: nothing to say, an icon at once, and no menu handed
        // over (the program pops it up itself on a right click).
        Rig served;
        served.present = true;
        served.host.Load({});
        QVERIFY(served.host.trayIcon().hasPlatformIcon());
        QCOMPARE(served.host.trayIcon().systemTrayIcon().contextMenu(), nullptr);
        QTRY_VERIFY(!served.host.trayIcon().isWatchingForTray());
        QTest::qWait(100);
        QCOMPARE(warnings.lines.size(), 2);
        qunsetenv("VANTOBEL_TRAY_TICK_MS");

        // The watch sets the look every few minutes; the platform icon changes only when
        // the look does (a new icon each time would leave a new entry in Qt's pixmap cache).
        QSystemTrayIcon& shown = served.host.trayIcon().systemTrayIcon();
        for (const TrayIconState state : {TrayIconState::Unread, TrayIconState::Normal, TrayIconState::Offline}) {
            served.host.setIconState(state);
            QCOMPARE(shown.icon().pixmap(16).toImage(), TrayIcon::iconFor(state).pixmap(16).toImage());
            const qint64 key = shown.icon().cacheKey();
            served.host.setIconState(state);
            served.host.setIconState(state);
            QCOMPARE(shown.icon().cacheKey(), key);
        }

        // Hidden by the start command, the icon stays hidden until "/showappico".
        Rig hidden;
        hidden.state.applyStartCommand(QStringLiteral("/tray|||hiddentrayico"), {});
        hidden.host.Load({});
        TrayIcon& kept = hidden.host.trayIcon();
        QVERIFY(!kept.isShown());
        // The connection watch's looks change the record but do not bring the icon back.
        hidden.host.setIconState(TrayIconState::Offline);
        QVERIFY(!kept.isShown() && kept.data().icon == TrayIconState::Offline);
        // "/showappico" with the hiding option: deleted first, then shown.
        hidden.host.LinkExecute(QStringLiteral("/showappico|||HiddenTrayIco"));
        QVERIFY(kept.isShown() && kept.data().icon == TrayIconState::Normal);
    }

    void quitting() {
        Rig rig;
        rig.state.PlayerType = QStringLiteral("ParentPlayer");
        rig.host.Load({});
        rig.prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
        rig.host.trayMenu().close()->trigger();
        const PromptCall& c = rig.prompt.calls.at(0);
        QCOMPARE(c.text, QStringLiteral("您确定要退出播放器并完全关闭程序吗？\r\n\r\n"
                                        "这可能会错过《Brightsprout培养计划》广播消息！"));
        QVERIFY(c.title == "退出程序？" && c.icon == PromptIcon::Question && c.buttons == PromptButtons::YesNo);
        // No: the tray runs on and the player is told nothing.
        QVERIFY(rig.link.calls.isEmpty() && rig.exiting.codes.isEmpty() && rig.host.trayIcon().isShown());
        QCOMPARE(readFile(rig.sysIni()), QByteArray("<unreadable>"));

        // Yes, with the player not running: it is told (not started), the tray quits.
        rig.link.answers = {VbError::NoApplicationResponded};
        rig.host.trayMenu().close()->trigger();
        QCOMPARE(rig.link.calls, QStringList{kPlayerTopic + "/Exit"});
        QVERIFY(rig.launcher.started.isEmpty() && !rig.host.trayIcon().isShown());
        QCOMPARE(readFile(rig.sysIni()), QByteArray("TrayDefaultType=ParentPlayer\r\n"));
        // The quit sequence entered again does nothing more.
        rig.host.LinkExecute(QStringLiteral("/exit"));
        rig.host.QuitTray();
        rig.host.close();
        QCOMPARE(rig.exiting.codes, QList<int>{1});

        // "/exit" asks nothing, tells the player nothing and closes every window; it quits
        // even when Sys.ini cannot be written (its folder is a file).
        Rig blocked;
        QFile(blocked.home.path() + "/Users").open(QIODevice::WriteOnly);
        blocked.host.Load({});
        QWidget other;
        other.show();
        blocked.host.LinkExecute(QStringLiteral("/exit"));
        QVERIFY(blocked.prompt.calls.isEmpty() && blocked.link.calls.isEmpty() && !other.isVisible());
        QCOMPARE(blocked.exiting.codes, QList<int>{1});

        // The session ends under the event loop: the player is remembered, nothing more happens.
        Rig session;
        session.state.PlayerType = QStringLiteral("BabyPlayer");
        session.host.Load({});
        session.host.SessionEnded();
        session.host.QuitTray();
        QCOMPARE(readFile(session.sysIni()), QByteArray("TrayDefaultType=BabyPlayer\r\n"));
        QVERIFY(session.exiting.codes.isEmpty() && !session.host.trayIcon().isShown());
    }

    void firstStartLoadsTheConfigurationAndTheHost() {
        Program p;
        QVERIFY(
            writeFile(p.home.path() + "/Bin/Settings.xml", readFile(VT_TEST_DATA_DIR "/tray/Settings-siblings.xml")));
        QVERIFY(p.start({QStringLiteral("/tray")}));
        SysLoad* host = p.tray->host();
        QVERIFY(host && p.prompt.calls.isEmpty());
        const QList<QAction*> siblings = host->trayMenu().siblingActions();
        QCOMPARE(siblings.size(), 3);
        QCOMPARE(siblings[1]->text(), QStringLiteral("故事屋"));
        QCOMPARE(siblings[0]->data().toString(), QStringLiteral("Cards@@@@@/v@@@@@/k@@@@@http://127.0.0.1:1/dl"));

        host->trayMenu().webHome()->trigger();
        QCOMPARE(p.urls.opened, QStringList{"http://127.0.0.1:1/home"});

        // The message box is always a fresh one; the pop-up's history link brings it forward instead.
        host->trayMenu().message()->trigger();
        QPointer<MessageBox> first = p.tray->windows()->messageBox();
        host->trayMenu().message()->trigger();
        QPointer<MessageBox> second = p.tray->windows()->messageBox();
        QVERIFY(first.isNull() && second);
        QCOMPARE(host->mainWindow(), static_cast<QWidget*>(second.data()));
        p.tray->windows()->showMessageBox();
        QCOMPARE(p.tray->windows()->messageBox(), second.data());

        // Start-with-desktop runs this tray; the settings item opens the dialog filled
        // from what is stored.
        QVERIFY(p.tray->autoRun().SetAutoRun());
        const QString entry = readFile(p.home.path() + "/xdg-config/autostart/VantobelPlay.desktop");
        QVERIFY(entry.contains(QCoreApplication::applicationFilePath()) && entry.contains(QStringLiteral("/TRAY")));
        host->trayMenu().setting()->trigger();
        const SysSettings* dialog = p.tray->windows()->settingsDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("KestavelSoft_AutoRun"))->isChecked());
    }

    // Memory goes back once, when the last window has closed: whichever kind it is, or
    // several in one turn; a message box replaced by a fresh one is no last close.
    void memoryGoesBackOnlyWhenTheLastWindowHasClosed() {
        Program p;
        QVERIFY(p.start({QStringLiteral("/tray")}));
        TrayWindows* windows = p.tray->windows();
        TrayMenu& menu = p.tray->host()->trayMenu();
        const auto close = [&p](const QList<QPointer<QWidget>>& open) {
            for (const QPointer<QWidget>& w : open)
                delete w.data();
            flushDeletes();
            return p.released;
        };
        for (int last = 0; last < 4; ++last) {
            auto doc = std::make_unique<pugi::xml_document>();
            doc->load_string("<Root><Notice><Title>T</Title><Url>http://n.example/1</Url><Pic></Pic>"
                             "<Brief>B</Brief><TypeStr>K</TypeStr></Notice></Root>");
            p.tray->news()->SetCurrentNoticeDoc(std::move(doc));
            QList<QPointer<QWidget>> open{windows->openNotice()};
            menu.about()->trigger();
            menu.message()->trigger();
            menu.setting()->trigger();
            open << windows->about() << windows->messageBox() << windows->settingsDialog();
            const QPointer<QWidget> lastOne = open.takeAt(last);
            QCOMPARE(close(open), last);
            QCOMPARE(close({lastOne}), last + 1);
        }
        menu.message()->trigger();
        menu.message()->trigger();
        QCOMPARE(close({}), 4);
        QCOMPARE(close({windows->messageBox()}), 5);
        menu.about()->trigger();
        menu.setting()->trigger();
        QCOMPARE(close({windows->about(), windows->settingsDialog()}), 6);
    }

    void startUpCommands() {
        // A broken configuration holds start-up in its message box; a start forwarding
        // its command line meanwhile must reach this tray, not find nobody listening.
        Program p;
        qputenv("VANTOBEL_LINK_DIR", (p.home.path() + "/link").toUtf8());
        QLocalSocket forwarder;
        p.prompt.hook = [&forwarder] {
            if (forwarder.state() != QLocalSocket::UnconnectedState)
                return;
            forwarder.connectToServer(QFile::decodeName(LinkFolder::process()->address(kTrayTopic)));
            if (forwarder.waitForConnected(1000)) {
                forwarder.write(encodeLinkFrame("/b|||opt|||a|||b|||c"));
                forwarder.waitForBytesWritten(1000);
            }
        };
        QVERIFY(p.start({QStringLiteral("/tray")}, true));
        QCOMPARE(p.prompt.calls.value(0).text, QStringLiteral("Err.SysSettings"));
        QTRY_COMPARE(p.tray->state().PlayerType, QStringLiteral("BabyPlayer"));
        QCOMPARE(p.tray->state().BabyUser.Field[2], QStringLiteral("c"));

        // A desktop action starts a tray that serves the last run's player and opens its
        // window; with a tray running it only forwards; quitting starts no tray.
        Program action;
        QVERIFY(writeFile(action.home.path() + "/Users/All Users/Sys.ini", "TrayDefaultType=ParentPlayer\r\n"));
        QVERIFY(action.start({QStringLiteral("/messagebox")}));
        QCOMPARE(action.tray->state().CommandLine, QStringLiteral("/TRAY|||"));
        QCOMPARE(action.tray->state().PlayerType, QStringLiteral("ParentPlayer"));
        QTRY_VERIFY(action.tray->windows()->messageBox() && action.tray->windows()->messageBox()->isVisible());

        Program second;
        second.elsewhere = true;
        QVERIFY(!second.start({QStringLiteral("/settings")}));
        QCOMPARE(second.link.calls, QStringList{kTrayTopic + QStringLiteral("/settings|||")});

        Program quit;
        QVERIFY(!quit.start({QStringLiteral("/quit")}));
        QVERIFY(!quit.tray->host() && quit.link.calls.isEmpty());
    }

    // Last: these set the application's name, icon and language for the process.
    // --help, -h and --version answer only as the first argument; everything else is a
    // command for the tray.
    void commandLineAndLauncher() {
        const std::optional<QString> help = AppIdentity::commandLineAnswer({"--help"});
        QVERIFY(help && help->startsWith("Usage: VantobelPlayTray"));
        QCOMPARE(AppIdentity::commandLineAnswer({"-h", "/TRAY"}), help);
        QCOMPARE(AppIdentity::commandLineAnswer({"--version"}),
                 std::optional<QString>("VantobelPlayTray " + AppIdentity::version() + "\n"));
        for (const QStringList& command : {QStringList{}, QStringList{"/TRAY", "--help"},
                                           QStringList{"/u|||OPT|||a|||b|||c|||d|||e|||f|||--version"},
                                           QStringList{"-help"}, QStringList{"--versions"}})
            QVERIFY2(!AppIdentity::commandLineAnswer(command), qPrintable(command.join(' ')));

        // From main's argv: an answer ends the program with 0, a command goes on.
        char self[] = "VantobelPlayTray", version[] = "--version", tray[] = "/TRAY";
        char* asking[] = {self, version, nullptr};
        char* command[] = {self, tray, version, nullptr};
        QCOMPARE(AppIdentity::answerCommandLine(2, asking), std::optional<int>(0));
        QCOMPARE(AppIdentity::answerCommandLine(3, command), std::optional<int>());

        // The start-with-desktop entry names the installed link on the PATH, not the folder
        // behind it; anywhere else (a build, a copied folder) the executable itself.
        QTemporaryDir prefix;
        const QString program = prefix.path() + "/lib/vantobel-play/VantobelPlayTray";
        const QString other = prefix.path() + "/lib/vantobel-play/Other";
        const QString onPath = prefix.path() + "/bin/VantobelPlayTray";
        QVERIFY(writeFile(program, {}) && writeFile(other, {}) && QDir().mkpath(prefix.path() + "/bin"));
        QCOMPARE(AppIdentity::launcherFor(program), program);
        QVERIFY(QFile::link("../lib/vantobel-play/VantobelPlayTray", onPath));
        QCOMPARE(AppIdentity::launcherFor(program), onPath);
        QCOMPARE(AppIdentity::launcherFor(other), other); // no bin/Other at all
        QVERIFY(QFile::remove(onPath) && QFile::link("../lib/vantobel-play/Other", onPath));
        QCOMPARE(AppIdentity::launcherFor(program), program); // a link to something else
    }

    // Start-up sets the identity that names the installed desktop entry, gives every
    // window the icon set, and turns Qt's own texts Chinese; without the translation
    // file they stay English.
    void setUpIdentityIconAndQtChinese() {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        QTemporaryDir empty;
        QVERIFY(!AppIdentity::loadQtChinese(*app, empty.path()));
        QCOMPARE(yesButtonText(), QString("&Yes"));

        AppIdentity::setUp(*app);
        QVERIFY(QFileInfo::exists(VT_SOURCE_DIR "/packaging/" + QGuiApplication::desktopFileName() + ".desktop"));
        QCoreApplication::processEvents();
        const QIcon icon = QApplication::windowIcon();
        for (const int size : {16, 32, 64})
            QCOMPARE(icon.pixmap(size, size).width(), size);
        QWidget window;
        QCOMPARE(window.windowIcon().cacheKey(), icon.cacheKey());

        QCOMPARE(yesButtonText().left(1), QString::fromUtf8("是"));
    }
};

VT_TEST(TestTray)
#include "test_tray.moc"
