// The program's object graph as Main builds it, with every contact faked.
#include "Fakes.h"
#include "GlobalFunction.h"
#include "LinkFolder.h"
#include "LinkProtocol.h"
#include "MessageBox.h"
#include "PopNotice.h"
#include "Seams.h"
#include "SysLoad.h"
#include "SysSettings.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TrayMenu.h"
#include "TrayState.h"
#include "TrayWindows.h"
#include "WebNews.h"
#include "sAbout.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QMenu>
#include <QTest>
#include <QtEndian>
#include <functional>

namespace {
class OfflineProbe : public ConnectionProbe {
public:
    bool isConnected(QString* = nullptr) override { return false; }
};

class CountingRelease : public MemoryRelease {
public:
    void releaseFreeMemory() override { ++count; }
    int count = 0;
};

class ScriptedInstance : public InstanceLock {
public:
    bool tryAcquire() override { return !elsewhere; }
    bool elsewhere = false;
};

struct Program {
    TempProgramHome home;
    RecordingPrompt prompt;
    RecordingUrlOpener urls;
    RecordingLauncher launcher;
    OfflineProbe probe;
    ScriptedLink link;
    QStringList& linked = link.calls; // topic followed by command
    ScriptedInstance instance;
    bool& trayRunsElsewhere = instance.elsewhere;
    RecordingExit exiting;
    CountingRelease release;
    int& memoryReleases = release.count;
    std::unique_ptr<TrayProgram> tray;

    bool start(const QStringList& arguments, bool listen = false) {
        const Platform replaced{.prompt = &prompt,
                                .urls = &urls,
                                .launcher = &launcher,
                                .connection = &probe,
                                .link = &link,
                                .instance = &instance,
                                .exit = &exiting,
                                .memory = &release};
        tray = std::make_unique<TrayProgram>(arguments, replaced, listen);
        return tray->Main();
    }
};
} // namespace

class TestTrayProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
    }

    void memoryGoesBackOnlyWhenTheLastWindowHasClosed() {
        Program p;
        QVERIFY(p.start({QStringLiteral("/tray")}));
        TrayWindows* windows = p.tray->windows();
        TrayMenu& menu = p.tray->host()->trayMenu();
        const auto settle = [] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        };
        const auto openAll = [&]() -> QList<QPointer<QWidget>> {
            auto doc = std::make_unique<pugi::xml_document>();
            doc->load_string("<Root><Notice><Title>T</Title><Url>http://n.example/1</Url><Pic></Pic>"
                             "<Brief>B</Brief><TypeStr>K</TypeStr></Notice></Root>");
            p.tray->news()->SetCurrentNoticeDoc(std::move(doc));
            QPointer<QWidget> pop = windows->openNotice();
            menu.about()->trigger();
            menu.message()->trigger();
            menu.setting()->trigger();
            return {pop, windows->about(), windows->messageBox(), windows->settingsDialog()};
        };
        // Each kind of window in turn is the last to close.
        for (int last = 0; last < 4; ++last) {
            const QList<QPointer<QWidget>> open = openAll();
            for (int i = 0; i < open.size(); ++i) {
                QVERIFY(open[i]);
                if (i != last)
                    delete open[i].data();
            }
            settle();
            QCOMPARE(p.memoryReleases, last);
            delete open[last].data();
            settle();
            QCOMPARE(p.memoryReleases, last + 1);
        }
        // The only window, the message box, replaced by a fresh one: no last close.
        menu.message()->trigger();
        menu.message()->trigger();
        settle();
        QCOMPARE(p.memoryReleases, 4);
        delete windows->messageBox();
        settle();
        QCOMPARE(p.memoryReleases, 5);
        // Windows closing in the same turn give memory back once.
        menu.about()->trigger();
        menu.setting()->trigger();
        delete windows->about();
        delete windows->settingsDialog();
        settle();
        QCOMPARE(p.memoryReleases, 6);
    }

    void commandsForwardedDuringStartUpAreKept() {
        // A broken configuration holds start-up in its message box; a start forwarding
        // its command line meanwhile must reach this tray, not find nobody listening.
        Program p;
        qputenv("VANTOBEL_LINK_DIR", (p.home.path() + "/link").toUtf8());
        QLocalSocket forwarder;
        p.prompt.hook = [&forwarder] {
            if (forwarder.state() != QLocalSocket::UnconnectedState)
                return;
            forwarder.connectToServer(QFile::decodeName(LinkFolder::process()->address(kTrayTopic)));
            QByteArray message(4, '\0');
            const QByteArray command = "/b|||opt|||a|||b|||c";
            qToBigEndian<quint32>(quint32(command.size()), message.data());
            if (forwarder.waitForConnected(1000)) {
                forwarder.write(message + command);
                forwarder.waitForBytesWritten(1000);
            }
        };
        QVERIFY(p.start({QStringLiteral("/tray")}, true));
        QCOMPARE(p.prompt.calls.value(0).text, QStringLiteral("Err.SysSettings"));
        QTRY_COMPARE(p.tray->state().PlayerType, QStringLiteral("BabyPlayer"));
        QCOMPARE(p.tray->state().BabyUser.Field[2], QStringLiteral("c"));
    }

    // A desktop action starts a tray that serves the last run's player and opens its
    // window; with a tray running it only forwards; quitting starts no tray.
    void desktopActionStarts() {
        Program p;
        QVERIFY(writeFile(p.home.path() + "/Users/All Users/Sys.ini", "TrayDefaultType=ParentPlayer\r\n"));
        QVERIFY(p.start({QStringLiteral("/messagebox")}));
        QCOMPARE(p.tray->state().CommandLine, QStringLiteral("/TRAY|||"));
        QCOMPARE(p.tray->state().PlayerType, QStringLiteral("ParentPlayer"));
        QTRY_VERIFY(p.tray->windows()->messageBox() && p.tray->windows()->messageBox()->isVisible());

        Program second;
        second.trayRunsElsewhere = true;
        QVERIFY(!second.start({QStringLiteral("/settings")}));
        QCOMPARE(second.linked, QStringList{kTrayTopic + QStringLiteral("/settings|||")});

        Program quit;
        QVERIFY(!quit.start({QStringLiteral("/quit")}));
        QVERIFY(!quit.tray->host() && quit.linked.isEmpty());
    }

    void autorunEntryStartsThisTray() {
        Program p;
        QVERIFY(p.start({QStringLiteral("/tray|||HiddenTrayIco")}));
        QVERIFY(p.tray->autoRun().SetAutoRun());
        QFile entry(p.home.path() + "/xdg-config/autostart/VantobelPlay.desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.contains(QCoreApplication::applicationFilePath()) && text.contains(QStringLiteral("/TRAY")));

        // The settings item opens the dialog filled from what is stored.
        p.tray->host()->trayMenu().setting()->trigger();
        const SysSettings* dialog = p.tray->windows()->settingsDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("KestavelSoft_AutoRun"))->isChecked());
    }
};

VT_TEST(TestTrayProgram)
#include "test_trayprogram.moc"
