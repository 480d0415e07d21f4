#include "DesktopUrlOpener.h"
#include "FreedesktopFileManager.h"
#include "LinuxConnectionProbe.h"
#include "NativeMove.h"
#include "QtProcessLauncher.h"
#include "SessionPlatform.h"
#include "TerminationSignals.h"
#include "XdgAutoRun.h"

#include "AsNobody.h"
#include "Fakes.h"
#include "FullDisk.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <tuple>
#include <xcb/xcb.h>

namespace {

const QByteArray kHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
QByteArray v4(const char* iface, const char* dest, const char* flags, const char* metric, const char* mask) {
    return QByteArray(iface) + '\t' + dest + "\t0101A8C0\t" + flags + "\t0\t0\t" + metric + '\t' + mask + "\t0\t0\t0\n";
}
const QByteArray kEthDefault = v4("eth0", "00000000", "0003", "100", "00000000");
const QByteArray kEthSubnet = v4("eth0", "0001A8C0", "0001", "100", "00FFFFFF");
const QByteArray kZero(32, '0');
QByteArray v6(const QByteArray& dest, const char* prefix, const char* flags, const char* iface) {
    return dest + ' ' + prefix + ' ' + kZero + " 00 " + kZero + " 00000400 00000001 00000000 " + flags + ' ' + iface +
           '\n';
}

// A fake /proc/net and /sys/class/net in a temporary folder.
struct Net {
    QTemporaryDir dir;
    void write(const QString& relative, const QByteArray& data) const {
        QVERIFY(writeFile(dir.path() + '/' + relative, data));
    }
    void link(const QString& name, const QByteArray& state, const QByteArray& flags = "0x1003") const {
        write("sys/" + name + "/operstate", state + '\n');
        write("sys/" + name + "/flags", flags + '\n');
    }
    LinuxConnectionProbe probe() const { return LinuxConnectionProbe(dir.path() + "/net", dir.path() + "/sys"); }
};

// A configure event for window; sent: from a client (the window manager), not the server.
xcb_configure_notify_event_t answer(quint32 window, int x, int y, bool sent = true, quint32 event = 0,
                                    uint8_t type = XCB_CONFIGURE_NOTIFY) {
    xcb_configure_notify_event_t e{};
    e.response_type = static_cast<uint8_t>(type | (sent ? 0x80 : 0));
    e.event = event ? event : window;
    e.window = window;
    e.x = static_cast<int16_t>(x);
    e.y = static_cast<int16_t>(y);
    return e;
}

QStringList entryLines(const XdgAutoRun& autoRun) {
    return autoRun.entryContents().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

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
    void init() { qunsetenv("VANTOBEL_TRAY_ONLINE"); } // it would decide for the probe

    void onlineByRoutes() {
        const QByteArray up = "up", f = "0x1003", none;
        const struct {
            const char* name;
            QByteArray ipv4, ipv6, state, flags;
            QString expected; // the interface; empty = offline
        } cases[] = {
            {"ipv4 default up", kHeader + kEthSubnet + kEthDefault, none, up, f, "eth0"},
            {"subnet route only", kHeader + kEthSubnet, none, up, f, ""},
            {"only lo", kHeader + v4("lo", "00000000", "0001", "0", "00000000"), none, up, f, ""},
            {"route not up", kHeader + v4("eth0", "00000000", "0002", "100", "00000000"), none, up, f, ""},
            {"interface down", kHeader + kEthDefault, none, "down", f, ""},
            {"unknown, flags up", kHeader + kEthDefault, none, "unknown", "0x1091", "eth0"},
            {"ipv6 default", kHeader + kEthSubnet, v6(kZero, "00", "00450003", "eth0"), up, f, "eth0"},
            {"ipv6 link-local only", kHeader, v6("fe80" + kZero.left(28), "40", "00000001", "eth0"), up, f, ""},
            {"garbage", "\x01 x\n\n\t\n", "zz\n", up, f, ""},
        };
        for (const auto& c : cases) {
            Net net;
            if (!c.ipv4.isEmpty())
                net.write("net/route", c.ipv4);
            if (!c.ipv6.isEmpty())
                net.write("net/ipv6_route", c.ipv6);
            net.link("eth0", c.state, c.flags);
            net.link("lo", "unknown", "0x9");
            QString name = QStringLiteral("stale");
            QVERIFY2(net.probe().isConnected(&name) == !c.expected.isEmpty(), c.name);
            QCOMPARE(name, c.expected);
        }
    }

    void picksAnUpInterfaceByMetric() {
        Net net;
        net.write("net/route", kHeader + kEthDefault + v4("wlan0", "00000000", "0003", "600", "00000000"));
        net.link("eth0", "down");
        net.link("wlan0", "up");
        auto probe = net.probe();
        QString name;
        QVERIFY(probe.isConnected(&name) && name == QStringLiteral("wlan0"));
        net.link("eth0", "up"); // seen on the very next call, and preferred for its metric
        QVERIFY(probe.isConnected(&name) && name == QStringLiteral("eth0"));
    }

    // Only the window manager's confirmation of the last move asked for is kept from
    // Qt; every other report of where a window is reaches it.
    void onlyTheConfirmationOfTheLastMoveIsKept() {
        NativeMove::expectConfirmation(7, 972, 714);
        auto confirm = answer(7, 972, 714);
        QVERIFY(NativeMove::isConfirmation(&confirm));

        // Put elsewhere by the window manager, the server's own report, another window, seen
        // through the parent's substructure, or no configure event at all.
        for (auto e : {answer(7, 972, 800), answer(7, 974, 714), answer(7, 972, 714, false), answer(8, 972, 714),
                       answer(7, 972, 714, true, 1), answer(7, 972, 714, true, 0, XCB_MAP_NOTIFY)})
            QVERIFY(!NativeMove::isConfirmation(&e));

        // A later move replaces the expected place; a late answer to the earlier one passes.
        NativeMove::expectConfirmation(7, 972, 712);
        QVERIFY(!NativeMove::isConfirmation(&confirm));
        // At rest (or gone) nothing is kept from Qt any more.
        auto last = answer(7, 972, 712);
        QVERIFY(NativeMove::isConfirmation(&last));
        NativeMove::forgetConfirmation(7);
        QVERIFY(!NativeMove::isConfirmation(&last));
    }

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

    // Inside quotes " ` $ \ take a backslash; the string value then doubles every backslash.
    // A percent is no field code, a line break no second key. TryExec names the same
    // program unquoted, so that the session skips the entry once the program is gone.
    void autostartExecQuotesThePath() {
        const std::tuple<QString, QString, QString> cases[] = {
            {"/opt/Vantobel Play/VantobelPlayTray", "Exec=\"/opt/Vantobel Play/VantobelPlayTray\" /TRAY",
             "TryExec=/opt/Vantobel Play/VantobelPlayTray"},
            {"/x/a\"b$c", "Exec=\"/x/a\\\\\"b\\\\$c\" /TRAY", "TryExec=/x/a\"b$c"},
            {"/x/a\\b`c", "Exec=\"/x/a\\\\\\\\b\\\\`c\" /TRAY", "TryExec=/x/a\\\\b`c"},
            {"/x/100%/t", "Exec=\"/x/100%%/t\" /TRAY", "TryExec=/x/100%/t"},
            {"/x/a\nExec=evil", "Exec=\"/x/a\\nExec=evil\" /TRAY", "TryExec=/x/a\\nExec=evil"},
        };
        for (const auto& [program, exec, tryExec] : cases) {
            const QStringList lines = entryLines(XdgAutoRun(program));
            QCOMPARE(lines.filter(QRegularExpression("^Exec=")), QStringList{exec});
            QCOMPARE(lines.filter(QRegularExpression("^TryExec=")), QStringList{tryExec});
        }
    }

    void autostartSetRemoveAndFailures() {
        TempProgramHome home;
        XdgAutoRun autoRun(QStringLiteral("/opt/t/VantobelPlayTray"));
        QVERIFY(writeFile(home.path() + "/blocker", "")); // a plain file where a folder must go
        qputenv("XDG_CONFIG_HOME", (home.path() + "/blocker/config").toUtf8());
        QVERIFY(!autoRun.SetAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/xdg-config").toUtf8());
        QCOMPARE(autoRun.entryPath(), home.path() + "/xdg-config/autostart/VantobelPlay.desktop");
        QVERIFY(!autoRun.IsAutoRunSet());
        QVERIFY(autoRun.RemoveAutoRun()); // nothing there is already removed
        QVERIFY(autoRun.SetAutoRun());    // makes the missing folder
        QVERIFY(autoRun.IsAutoRunSet());
        QCOMPARE(readFile(autoRun.entryPath()), autoRun.entryContents().toUtf8());
        // The entry looks like the installed menu entry and is a valid desktop entry.
        // Its main group only: the actions have names of their own.
        const QStringList menuLines = QString::fromUtf8(readFile(VT_SOURCE_DIR "/packaging/vantobel-play-tray.desktop"))
                                          .section(QStringLiteral("\n["), 0, 0)
                                          .split('\n');
        for (const char* key : {"^Icon=", "^Name\\[zh_CN\\]=", "^Comment="})
            QCOMPARE(entryLines(autoRun).filter(QRegularExpression(key)), menuLines.filter(QRegularExpression(key)));
        // Its complaints go to the test's output; -2: not installed (scripts/install-deps.sh).
        QCOMPARE(QProcess::execute("desktop-file-validate", {autoRun.entryPath()}), 0);
        QVERIFY(autoRun.RemoveAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());

        // A link at the entry is replaced by the entry; its target, dangling or not, stays as it was.
        const QString outside = home.path() + "/notes.txt";
        for (const bool dangling : {true, false}) {
            if (!dangling)
                QVERIFY(QFile(outside).open(QIODevice::WriteOnly));
            QFile::remove(autoRun.entryPath());
            QVERIFY(QFile::link(outside, autoRun.entryPath()));
            QVERIFY(autoRun.SetAutoRun());
            QVERIFY(!QFileInfo(autoRun.entryPath()).isSymLink());
            QCOMPARE(readFile(autoRun.entryPath()), autoRun.entryContents().toUtf8());
            QCOMPARE(QFileInfo::exists(outside), !dangling);
            QCOMPARE(QFileInfo(outside).size(), 0);
        }

        // Still there when its folder may not be written, and said so.
        giveToNobody(home.path());
        QVERIFY(asNobody([&] {
            return QFile::setPermissions(home.path() + "/xdg-config/autostart", QFile::ReadOwner | QFile::ExeOwner) &&
                   !autoRun.RemoveAutoRun() && autoRun.IsAutoRunSet();
        }));

        // On a full disk the entry is not replaced by an empty one, and the failure is reported.
        FullDisk disk; // a small tmpfs: needs root
        QVERIFY(disk.ok());
        qputenv("XDG_CONFIG_HOME", disk.path().toUtf8());
        XdgAutoRun before(QStringLiteral("/opt/t/VantobelPlayTray"));
        QVERIFY(before.SetAutoRun());
        QVERIFY(disk.fill());
        XdgAutoRun moved(QStringLiteral("/opt/moved/VantobelPlayTray"));
        QVERIFY(!moved.SetAutoRun());
        QCOMPARE(readFile(before.entryPath()), before.entryContents().toUtf8());
    }
};

VT_TEST(TestDesktopSeams)
#include "test_desktopseams.moc"
