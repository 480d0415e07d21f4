// The program's object graph as Main builds it, with every contact faked.
#include "AutoRun.h"
#include "ConnectionProbe.h"
#include "Fakes.h"
#include "GlobalFunction.h"
#include "MessageBox.h"
#include "PlayerLink.h"
#include "SysLoad.h"
#include "SysSettings.h"
#include "TestFiles.h"
#include "TrayState.h"
#include "TrayWindows.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>

namespace {
class FixedProbe : public ConnectionProbe {
public:
    bool isConnected(QString* = nullptr) override { return online; }
    bool online = false;
};

struct Program {
    TempProgramHome home;
    RecordingPrompt prompt;
    RecordingUrlOpener urls;
    RecordingLauncher launcher;
    FixedProbe probe;
    QStringList linked;
    bool lockFree = true;
    QList<int> exits;
    std::unique_ptr<TrayProgram> tray;

    bool start(const QStringList& arguments) {
        TraySeams seams;
        seams.prompt = &prompt;
        seams.urls = &urls;
        seams.launcher = &launcher;
        seams.probe = &probe;
        seams.link = [this](const QString& topic, const QString& command) {
            linked << topic + " " + command;
            return 0;
        };
        seams.tryAcquireInstance = [this] { return lockFree; };
        seams.exit = [this](int code) { exits << code; };
        seams.listen = false;
        tray = std::make_unique<TrayProgram>(arguments, seams);
        return tray->Main();
    }
};
} // namespace

class TestTrayProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("VANTOBEL_TRAY_TICK_MS", "5"); }

    void secondStartForwardsAndBuildsNothing() {
        Program p;
        p.lockFree = false;
        QVERIFY(!p.start({QStringLiteral("/u|||x|||a|||b|||c")}));
        QCOMPARE(p.linked, QStringList{kTrayTopic + " /u|||x|||a|||b|||c|||"});
        QVERIFY(p.tray->host() == nullptr); // no icon, no windows
        QVERIFY(!QFile::exists(p.home.path() + "/Users/All Users/Sys.ini"));
        QCOMPARE(p.tray->state().PlayerType, QStringLiteral("ParentPlayer"));
    }

    void firstStartLoadsTheConfigurationAndTheHost() {
        Program p;
        QVERIFY(
            writeFile(p.home.path() + "/Bin/Settings.xml", readFile(VT_TEST_DATA_DIR "/tray/Settings-siblings.xml")));
        QVERIFY(p.start({QStringLiteral("/tray")}));
        QVERIFY(p.prompt.calls.isEmpty());
        QVERIFY(p.linked.isEmpty());
        SysLoad* host = p.tray->host();
        QVERIFY(host && host->trayIcon().isShown());
        QVERIFY(p.tray->publicCls());
        const QList<QAction*> siblings = host->trayMenu().siblingActions();
        QCOMPARE(siblings.size(), 3);
        QCOMPARE(siblings[1]->text(), QStringLiteral("故事屋"));
        QCOMPARE(siblings[0]->data().toString(), QStringLiteral("Cards@@@@@/v@@@@@/k@@@@@http://127.0.0.1:1/dl"));

        host->trayMenu().webHome()->trigger();
        QCOMPARE(p.urls.opened, QStringList{"http://127.0.0.1:1/home"});

        // The menu's windows: one about box; the message box is always a fresh one.
        host->trayMenu().about()->trigger();
        host->trayMenu().about()->trigger();
        QVERIFY(p.tray->windows()->about());
        host->trayMenu().message()->trigger();
        QPointer<MessageBox> first = p.tray->windows()->messageBox();
        host->trayMenu().message()->trigger();
        QVERIFY(first.isNull());
        QVERIFY(p.tray->windows()->messageBox());
        QCOMPARE(host->mainWindow(), static_cast<QWidget*>(p.tray->windows()->messageBox()));
        // The pop-up's history link brings the open box forward instead of reloading it.
        QPointer<MessageBox> second = p.tray->windows()->messageBox();
        p.tray->windows()->showMessageBox();
        QCOMPARE(p.tray->windows()->messageBox(), second.data());
        QVERIFY(p.tray->windows()->openNotice() == nullptr); // nothing polled yet
        host->trayMenu().setting()->trigger();
        QPointer<QWidget> settings = p.tray->windows()->settingsDialog();
        host->trayMenu().setting()->trigger();
        QVERIFY(settings && settings->isVisible());
        QCOMPARE(p.tray->windows()->settingsDialog(), settings.data());
    }

    void connectionWatchDrivesTheIcon() {
        Program p;
        QVERIFY(p.start({}));
        QTRY_COMPARE(p.tray->host()->trayIcon().data().icon, TrayIconState::Offline);
        QVERIFY(p.tray->host()->trayIcon().data().tipText().contains(QStringLiteral("（离线）")));
    }

    void autorunEntryStartsThisTray() {
        Program p;
        QVERIFY(p.start({QStringLiteral("/tray|||HiddenTrayIco")}));
        QVERIFY(!p.tray->host()->trayIcon().isShown());
        AutoRunStore& autoRun = p.tray->autoRun();
        QVERIFY(!autoRun.IsAutoRunSet());
        QVERIFY(autoRun.SetAutoRun());
        QVERIFY(autoRun.IsAutoRunSet());
        QFile entry(p.home.path() + "/xdg-config/autostart/VantobelPlay.desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.contains(QCoreApplication::applicationFilePath()));
        QVERIFY(text.contains(QStringLiteral("/TRAY")));
        QVERIFY(autoRun.RemoveAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());
    }
};

QTEST_MAIN(TestTrayProgram)
#include "test_trayprogram.moc"
