// The host window on the offscreen platform: menu, icon, clicks, executes, quitting.
#include "Fakes.h"
#include "LinkProtocol.h"
#include "LogLines.h"
#include "PlayerControl.h"
#include "QtPrompt.h"
#include "SysLoad.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TrayState.h"
#include "VbError.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {
// A desktop whose tray is there or not as the test says.
struct FakeTrayHost : TrayHostProbe {
    bool trayPresent() override { return present; }
    bool itemOnDBus() override { return onDBus; }
    bool hostPending() override { return false; }
    bool present = false;
    bool onDBus = false;
};

// One host with every contact recorded.
struct Rig {
    TempProgramHome home;
    TrayState state;
    RecordingLauncher launcher;
    RecordingPrompt prompt;
    FakeTrayHost trayHost;
    FixedInstPath instPaths;
    ScriptedLink link; // topic and command
    QStringList signedOpened;
    QStringList plainOpened;
    RecordingExit exiting;
    PlayerControl player{state, launcher, link, [](const QString&) { return QStringLiteral("2.1.0.57"); }};
    SiblingLauncher siblings{state, instPaths, launcher, prompt, [this](const QString& u) { plainOpened << u; }};
    std::unique_ptr<SysLoad> host;

    QString sysIni() const { return home.path() + "/Users/All Users/Sys.ini"; }

    Rig() {
        const WebHomeLinks web{[] { return QStringLiteral("http://home.example/manage"); },
                               [this](const QString& u) { signedOpened << u; },
                               [this](const QString& u) { plainOpened << u; }};
        host = std::make_unique<SysLoad>(SysLoadDeps{state, player, siblings, prompt, trayHost, web, sysIni(),
                                                     home.path() + "/Skin/", exiting, [] {}});
    }
};

QStringList captions(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}
} // namespace

class TestSysLoad : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A box never holds the tray in a loop of its own: show() returns with the box
    // open and modeless, the menu still opens, one text is up once at most, and the
    // answer arrives through the callback.
    void promptsLeaveTheTrayFree() {
        Rig rig;
        rig.host->Load({});
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
        Q_EMIT rig.host->trayIcon().menuRequested();
        QVERIFY(rig.host->trayMenu().menu()->isVisible());
        rig.host->trayMenu().menu()->close();

        QVERIFY(answers.isEmpty());
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
        rig.host->Load({});
        TrayMenu& m = rig.host->trayMenu();
        QCOMPARE(captions(m.menu()),
                 QStringList({"关于我们", "-", "升级更新", "系统设置", "儿歌播放器控制台", "-", "Brightsprout培养计划",
                              "-", "消息盒", "家务中心 (URL)", "-", "退出(&E)"}));
        QCOMPARE(m.close()->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        QCOMPARE(captions(m.playerMenu()), QStringList({"Vantobel儿歌播放器", "Vantobel胎教/育儿播放器"}));
        // No configured siblings: the plan's sub-menu holds only the player sub-menu.
        QCOMPARE(captions(m.brightsproutMenu()), QStringList{"Vantobel胎教/儿歌播放器"});
        QCOMPARE(rig.host->trayIcon().systemTrayIcon().toolTip(),
                 QStringLiteral("Brightsprout培养助手：\r\nhttp://www.vantobel.example"));
    }

    void hiddenIconStaysHiddenUntilShowAppIco() {
        Rig hidden;
        hidden.state.applyStartCommand(QStringLiteral("/tray|||hiddentrayico"), {});
        hidden.host->Load({});
        QVERIFY(!hidden.host->trayIcon().isShown());
        // The connection watch's looks change the record but do not bring the icon back.
        hidden.host->setIconState(TrayIconState::Offline);
        QVERIFY(!hidden.host->trayIcon().isShown());
        QCOMPARE(hidden.host->trayIcon().data().icon, TrayIconState::Offline);
        // "/showappico" with the hiding option: deleted first, then shown.
        hidden.host->LinkExecute(QStringLiteral("/showappico|||HiddenTrayIco"));
        QVERIFY(hidden.host->trayIcon().isShown());
        QCOMPARE(hidden.host->trayIcon().data().icon, TrayIconState::Normal);
    }

    void missingTrayIsSaidOnceAndALateHostGetsTheIcon() {
        qputenv("VANTOBEL_TRAY_TICK_MS", "5");
        LogLines warnings("vantobel.tray");
        Rig rig;
        bool& present = rig.trayHost.present;
        rig.trayHost.onDBus = true;
        TrayIcon& icon = rig.host->trayIcon();
        rig.host->Load({});
        QTRY_COMPARE(warnings.lines.size(), 1);
        QVERIFY(warnings.lines.at(0).startsWith(QStringLiteral("no system tray found")));
        QTest::qWait(400);
        QCOMPARE(warnings.lines.size(), 1);
        QVERIFY(icon.isWatchingForTray());
        // No platform icon yet: the first one decides where every later one goes.
        QVERIFY(!icon.hasPlatformIcon());

        // A D-Bus host comes: said once more, and the icon with the menu and the look.
        rig.host->setIconState(TrayIconState::Offline);
        present = true;
        QTRY_COMPARE(warnings.lines.size(), 2);
        QVERIFY(warnings.lines.at(1).startsWith(QStringLiteral("a system tray appeared")));
        QVERIFY(!icon.isWatchingForTray() && icon.hasPlatformIcon());
        QSystemTrayIcon& late = icon.systemTrayIcon();
        QCOMPARE(late.contextMenu(), rig.host->trayMenu().menu());
        QVERIFY(late.isVisible());
        QVERIFY(late.toolTip().contains(QStringLiteral("（离线）")));
        Q_EMIT late.activated(QSystemTrayIcon::Trigger);
        QCOMPARE(rig.link.calls.size(), 1);

        // An XEmbed tray at start: nothing to say, an icon at once, and no menu handed
        // over (the program pops it up itself on a right click).
        Rig served;
        served.trayHost.present = true;
        served.host->Load({});
        QVERIFY(served.host->trayIcon().hasPlatformIcon());
        QCOMPARE(served.host->trayIcon().systemTrayIcon().contextMenu(), nullptr);
        QTRY_VERIFY(!served.host->trayIcon().isWatchingForTray());
        QTest::qWait(100);
        QCOMPARE(warnings.lines.size(), 2);
        qunsetenv("VANTOBEL_TRAY_TICK_MS");

        // The watch sets the look every few minutes; the platform icon changes only when
        // the look does (a new icon each time would leave a new entry in Qt's pixmap cache).
        QSystemTrayIcon& shown = served.host->trayIcon().systemTrayIcon();
        for (const TrayIconState state : {TrayIconState::Unread, TrayIconState::Normal, TrayIconState::Offline}) {
            served.host->setIconState(state);
            QCOMPARE(shown.icon().pixmap(16).toImage(), TrayIcon::iconFor(state).pixmap(16).toImage());
            const qint64 key = shown.icon().cacheKey();
            served.host->setIconState(state);
            served.host->setIconState(state);
            QCOMPARE(shown.icon().cacheKey(), key);
        }
    }

    void webHomeIsSignedOnlyWithTheParentsData() {
        Rig rig;
        rig.host->Load({});
        rig.host->trayMenu().webHome()->trigger();
        QCOMPARE(rig.plainOpened, QStringList{"http://home.example/manage"});
        rig.state.applyStartCommand(QStringLiteral("/u|||o|||name|||pass|||f3|||4|||5|||6|||7"), {});
        rig.host->trayMenu().webHome()->trigger();
        QCOMPARE(rig.signedOpened, QStringList{"http://home.example/manage"});
        rig.state.ParentUser.Field[1] = QStringLiteral("  ");
        rig.host->trayMenu().webHome()->trigger();
        QCOMPARE(rig.plainOpened.size(), 2);
    }

    void quitting() {
        Rig rig;
        rig.state.PlayerType = QStringLiteral("ParentPlayer");
        rig.host->Load({});
        rig.prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
        rig.host->trayMenu().close()->trigger();
        const PromptCall& c = rig.prompt.calls.at(0);
        QCOMPARE(c.text, QStringLiteral("您确定要退出播放器并完全关闭程序吗？\r\n\r\n"
                                        "这可能会错过《Brightsprout培养计划》广播消息！"));
        QVERIFY(c.title == "退出程序？" && c.icon == PromptIcon::Question && c.buttons == PromptButtons::YesNo);
        // No: the tray runs on and the player is told nothing.
        QVERIFY(rig.link.calls.isEmpty() && rig.exiting.codes.isEmpty() && rig.host->trayIcon().isShown());
        QCOMPARE(readFile(rig.sysIni()), QByteArray("<unreadable>"));

        // Yes, with the player not running: it is told (not started), the tray quits.
        rig.link.answers = {VbError::NoApplicationResponded};
        rig.host->trayMenu().close()->trigger();
        QCOMPARE(rig.link.calls, QStringList{kPlayerTopic + "/Exit"});
        QVERIFY(rig.launcher.started.isEmpty() && !rig.host->trayIcon().isShown());
        QCOMPARE(readFile(rig.sysIni()), QByteArray("TrayDefaultType=ParentPlayer\r\n"));
        // The quit sequence entered again does nothing more.
        rig.host->LinkExecute(QStringLiteral("/exit"));
        rig.host->QuitTray();
        rig.host->close();
        QCOMPARE(rig.exiting.codes, QList<int>{1});

        // "/exit" asks nothing, tells the player nothing and closes every window; it quits
        // even when Sys.ini cannot be written (its folder is a file).
        Rig blocked;
        QFile(blocked.home.path() + "/Users").open(QIODevice::WriteOnly);
        blocked.host->Load({});
        QWidget other;
        other.show();
        blocked.host->LinkExecute(QStringLiteral("/exit"));
        QVERIFY(blocked.prompt.calls.isEmpty() && blocked.link.calls.isEmpty() && !other.isVisible());
        QCOMPARE(blocked.exiting.codes, QList<int>{1});

        // The session ends under the event loop: the player is remembered, nothing more happens.
        Rig session;
        session.state.PlayerType = QStringLiteral("BabyPlayer");
        session.host->Load({});
        session.host->SessionEnded();
        session.host->QuitTray();
        QCOMPARE(readFile(session.sysIni()), QByteArray("TrayDefaultType=BabyPlayer\r\n"));
        QVERIFY(session.exiting.codes.isEmpty() && !session.host->trayIcon().isShown());
    }
};

VT_TEST(TestSysLoad)
#include "test_sysload.moc"
