#include "DesktopUrlOpener.h"
#include "FreedesktopFileManager.h"
#include "QtProcessLauncher.h"
#include "SessionPlatform.h"
#include "TerminationSignals.h"

#include "Fakes.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QDesktopServices>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

// Stands in for the desktop's handler of file: addresses.
class FolderCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

class TestDesktopSeams : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void waylandSessionsRunOnXWaylandFirst() {
        const QByteArray xwaylandFirst("xcb;wayland");
        QCOMPARE(platformForSession("", "wayland-0", ""), xwaylandFirst);
        QCOMPARE(platformForSession("", "", "wayland"), xwaylandFirst);
        QCOMPARE(platformForSession("  ", "", "Wayland"), xwaylandFirst);
        // The user's own choice stands; an X11 session needs no choice.
        QCOMPARE(platformForSession("wayland", "wayland-0", "wayland"), QByteArray());
        QCOMPARE(platformForSession("offscreen", "", "wayland"), QByteArray());
        QCOMPARE(platformForSession("", "", "x11"), QByteArray());
        QCOMPARE(platformForSession("", "", ""), QByteArray());
    }

    void urlOpenerRefusesAllButWebAddresses() {
        DesktopUrlOpener opener;
        for (const char* address : {"file:///etc/passwd", "javascript:alert(1)", "/home/user/notice.html",
                                    "notice.html", "", "ftp://example.com/a", "http:///etc/passwd"})
            QVERIFY2(!opener.openUrl(QString::fromLatin1(address)), address);
    }

    // The test environment has no session bus: the file's folder opens instead, and
    // with nothing to open it the answer is no.
    void fileManagerWithoutABusOpensTheFolder() {
        TempProgramHome home;
        const QString song = home.path() + "/song.mp3";
        QVERIFY(QFile(song).open(QIODevice::WriteOnly));
        FreedesktopFileManager manager;
        FolderCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        QVERIFY(manager.show(song, FileManager::View::Properties));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(home.path())});
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(!manager.show(song, FileManager::View::Folder)); // no GUI application here
    }

    void launcherStartsWithOneArgumentOrSaysNo() {
        TempProgramHome home;
        QtProcessLauncher launcher;
        const QString script = home.path() + "/fake player";
        QVERIFY(writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$(dirname \"$0\")/started.txt\"\n"));
        QVERIFY(!launcher.startDetached(script, {})); // not executable yet
        QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!launcher.startDetached(home.path(), {}));

        // The parameter string stays one argument, spaces and separators included.
        QVERIFY(launcher.startDetached(script, {QStringLiteral("/U|||a b|||宝宝")}));
        QTRY_COMPARE_WITH_TIMEOUT(readFile(home.path() + "/started.txt"), QString("1\n/U|||a b|||宝宝\n").toUtf8(),
                                  10000);
    }

    void terminationSignalsReachTheEventLoop() {
        TerminationSignals watcher;
        QVERIFY(watcher.install());
        QVERIFY(!TerminationSignals().install()); // one watcher per process
        QSignalSpy spy(&watcher, &TerminationSignals::terminationRequested);
        std::raise(SIGTERM); // would end the test process if the handler were missing
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
    }
};

VT_TEST(TestDesktopSeams)
#include "test_desktopseams.moc"
