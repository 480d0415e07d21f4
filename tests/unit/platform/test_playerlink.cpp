#include "AsNobody.h"
#include "LinkClient.h"
#include "LinkFolder.h"
#include "LinkServer.h"
#include "LogLines.h"
#include "SingleInstance.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QDirIterator>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <barrier>
#include <cstddef>
#include <cstring>
#include <future>
#include <poll.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace {

const QString kTopic = kTrayTopic;
const QString kSecret = QStringLiteral("/u|||opt|||1|||parent|||password-field|||4|||5|||6|||7");

QString socketPath() {
    return QFile::decodeName(LinkFolder::process()->address(kTopic));
}

// Runs work on a worker thread while this thread serves the link, as the tray and a
// client (the player, a later start, another user) do in two processes.
template <typename Work> auto whileServing(Work work) {
    auto done = std::async(std::launch::async, work);
    // Each piece of work has a time limit of its own; get() waits for it in any case.
    (void)QTest::qWaitFor([&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 60000);
    return done.get();
}

int send(const QString& command, const std::shared_ptr<const LinkFolder>& folder = {}) {
    return whileServing([&] { return linkExecute(kTopic, command, 5000, folder); });
}

// A raw socket at address (a path, or a NUL and an abstract name): connected, or
// only bound and closed again (what a server that is gone leaves behind).
int rawSocket(const QByteArray& address, bool bindOnly = false) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, address.constData(), size_t(address.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(address.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int rc = bindOnly ? ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), length)
                            : ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length);
    if (rc == 0 && !bindOnly)
        return fd;
    ::close(fd);
    return rc == 0 ? 0 : -1;
}

// Another local user's loop (as nobody): swaps the folder <base>/run with one of its
// own holding a socket named like the tray's, listens on the player's abstract name
// too, and writes down whatever it is sent.
const char* const kAttacker = R"(
use strict; use IO::Socket::UNIX; use IO::Select; use IO::Handle;
my ($base, $log) = @ARGV;
chdir $base or die "chdir: $!";
mkdir "evil", 0755;
my @servers = map { IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $_, Listen => 64) or die "listen: $!" }
    ("evil/VantobelPlayTray|VantobelPlayTrayDDEForm", "\0vantobel-0/VantobelPlay|VantobelPlayDDEForm");
$_->blocking(0) for @servers;
open(my $out, '>>', $log) or die; $out->autoflush(1);
print "ready\n"; STDOUT->flush;
while (1) {
    rename "run", "ours"; rename "evil", "run";
    select(undef, undef, undef, 0.002);
    rename "run", "evil"; rename "ours", "run";
    for my $c (grep { defined } map { $_->accept } @servers) {
        my $got = ''; $c->blocking(1);
        sysread($c, $got, 65540) if IO::Select->new($c)->can_read(0.5);
        print $out "received: $got\n" if length $got;
    }
}
)";

} // namespace

class TestPlayerLink : public QObject {
    Q_OBJECT

    // A link folder of this run's own, so that tests running side by side never meet;
    // the scenarios look for the real places inside their namespaces.
    std::unique_ptr<QTemporaryDir> m_linkDir;

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsSet("VT_LINK_SCENARIO"))
            return;
        m_linkDir = std::make_unique<QTemporaryDir>();
        qputenv("VANTOBEL_LINK_DIR", QFile::encodeName(m_linkDir->path() + "/link"));
    }
    void cleanup() {
        if (m_linkDir)
            QFile::remove(socketPath());
    }

    // Commands arrive whole; clients that send too much, more than they announce, or
    // stall are dropped unheard, and the others are served meanwhile.
    void commandsArriveIntactAndBadClientsAreDropped() {
        LinkServer server;
        QVERIFY(server.listen(kTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);
        const QString atLimit = QString(21845, QChar(0x4E2D)) + 'a'; // 3 * 21845 + 1 = 65,536 bytes of UTF-8
        const QStringList commands = {"/U|||HiddenTrayIco|||1|||张三|||秘密|||4|||5|||6|||7", "", "a\nb\r\n|||",
                                      atLimit};
        for (const QString& command : commands)
            QCOMPARE(send(command), kLinkAccepted);
        // One byte over the limit is refused by the sender and never sent.
        QCOMPARE(send(atLimit + 'b'), kLinkTooLong);

        // The oversized and the overlong one must go for what they sent, not for stalling.
        // A frame is a big-endian 32-bit length and that many bytes.
        for (const auto& [bytes, stallMs] :
             {std::pair<QByteArray, int>{QByteArray::fromHex("00010001") + QByteArray(100, 'x'), 60000},
              {QByteArray::fromHex("00000003") + "abcdef", 60000},
              {QByteArray::fromHex("0000000a") + "abc", 300}}) {
            server.setStallTimeout(stallMs);
            QLocalSocket bad;
            bad.connectToServer(socketPath());
            QVERIFY(bad.waitForConnected(2000));
            bad.write(bytes);
            QCOMPARE(send("/showappico"), kLinkAccepted);
            QTRY_COMPARE_WITH_TIMEOUT(bad.state(), QLocalSocket::UnconnectedState, 5000);
            QCOMPARE(bad.bytesAvailable(), 0);
        }
        QCOMPARE(received.size(), commands.size() + 3);
        for (qsizetype i = 0; i < commands.size(); ++i)
            QCOMPARE(received.at(i).at(0).toString(), commands.at(i));
    }

    // A socket whose server is gone is no partner and is replaced by the next server; a
    // live one, or a file that is no socket, is neither stolen nor removed.
    void staleSocketIsReplacedButNothingElseIs() {
        QCOMPARE(linkExecute(kTopic, "/b", 50000), kLinkNoPartner);
        QVERIFY(rawSocket(QFile::encodeName(socketPath()), true) == 0);
        QCOMPARE(linkExecute(kTopic, "/b", 50000), kLinkNoPartner);
        LinkServer first, second;
        QVERIFY(first.listen(kTopic));
        QVERIFY(!second.listen(kTopic)); // a live one is not stolen
        QCOMPARE(send("/B|||1"), kLinkAccepted);
        second.close();
        first.close();
        QVERIFY(second.listen(kTopic));
        second.close();

        QVERIFY(writeFile(socketPath(), "keep"));
        QVERIFY(!second.listen(kTopic));
        QCOMPARE(QFileInfo(socketPath()).size(), 4);
        QFile::remove(socketPath());
        QLocalServer mute; // accepts in the kernel, never answers
        QVERIFY(mute.listen(socketPath()));
        QCOMPARE(linkExecute(kTopic, "/PLAYSETTINGS", 300), kLinkTimedOut);
    }

    void serverMayBeDestroyedByItsOwnCommand() {
        QPointer<LinkServer> server = new LinkServer;
        QVERIFY(server->listen(kTopic));
        connect(server, &LinkServer::commandReceived, server, [&server](const QString&) { delete server; });
        QCOMPARE(send("/exit"), kLinkAccepted);
        QVERIFY(server.isNull() && !QFile::exists(socketPath()));
    }

    // Two trays racing for the lock: one wins each round (and the loser is refused while
    // the winner holds it); the lock of a tray that ended is free again.
    void oneTrayAtATime() {
        SingleInstance first;
        QVERIFY(first.tryAcquire());
        QVERIFY(first.tryAcquire()); // asking again while holding it is no refusal
        SingleInstance second;
        QVERIFY(!second.tryAcquire());
        first.release();
        QVERIFY(second.tryAcquire());
        second.release();
        for (int round = 0; round < 10; ++round) {
            std::atomic<int> winners{0};
            std::barrier sync(2);
            const auto tray = [&] {
                SingleInstance instance;
                sync.arrive_and_wait();
                winners += instance.tryAcquire();
                sync.arrive_and_wait(); // both keep what they got until both have tried
            };
            std::thread a(tray), b(tray);
            a.join();
            b.join();
            QCOMPARE(winners.load(), 1);
        }
    }

    // The link listens again when its socket file is removed, and when descriptors ran
    // out (a same-user process holding more connections than the tray may open files).
    void theLinkComesBack() {
        LinkServer server;
        QVERIFY(server.listen(kTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);
        QVERIFY(QFile::remove(socketPath()));
        QTRY_VERIFY(QFileInfo::exists(socketPath()));
        QCOMPARE(send("/showappico"), kLinkAccepted);

        std::vector<int> held;
        for (int i = 0; i < 300; ++i)
            held.push_back(rawSocket(QFile::encodeName(socketPath())));
        QVERIFY(std::count(held.begin(), held.end(), -1) == 0);
        LogLines log("vantobel.link");
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        // A few connections, then no descriptor (System: the sockets are dangling links there).
        low.rlim_cur = rlim_t(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System).size() + 20);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        QTest::qWait(300); // the server meets the limit and must not give up
        for (const int fd : held)
            ::close(fd);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        QCOMPARE(log.lines.filter("cannot accept").size(), 1);
        QCOMPARE(send("/showappico"), kLinkAccepted);
        QCOMPARE(received.size(), 2);
    }

    // Every start of a user finds the same lock and link, however its environment is
    // set, never uses a folder another user can change, and keeps one tray when no
    // folder is safe or the home is deep. Each case runs in a private mount and
    // network namespace with fresh /tmp, /run/user and /root, as root.
    void oneTrayPerUser_data() {
        QTest::addColumn<int>("starts");
        QTest::newRow("environment") << 2;
        QTest::newRow("swap") << 30;
        QTest::newRow("deep") << 1;
    }
    void oneTrayPerUser() {
        QFETCH(int, starts);
        const QString scenario = QTest::currentDataTag();
        if (!qEnvironmentVariableIsSet("VT_LINK_SCENARIO")) {
            QProcess child;
            qputenv("VT_LINK_SCENARIO", "1");
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start("unshare",
                        {"--mount", "--net", "--propagation", "private", QCoreApplication::applicationFilePath(),
                         "test_playerlink", "oneTrayPerUser:" + scenario});
            qunsetenv("VT_LINK_SCENARIO");
            QVERIFY(child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit &&
                    child.exitCode() == 0);
            return;
        }
        for (const auto& [hidden, mode] :
             {std::pair{"/tmp", "mode=1777"}, {"/run/user", "mode=0755"}, {"/root", "mode=0755"}})
            QCOMPARE(::mount("tmpfs", hidden, "tmpfs", 0, mode), 0);
        for (const char* name : {"VANTOBEL_LINK_DIR", "XDG_RUNTIME_DIR", "XDG_DATA_HOME"})
            qunsetenv(name);
        qputenv("HOME", "/root");
        QString startHome = "/root";
        QString expected; // the folder every start must find; empty: none is safe
        const QString base = "/root/.local/share/VantobelPlayTray";
        QProcess attacker;

        if (scenario == "environment") {
            // One start from the desktop session, the next from a terminal after su or a
            // cron job: without XDG_RUNTIME_DIR, or with another private one, and another HOME.
            for (const char* folder : {"/run/user/0", "/tmp/elsewhere"})
                QVERIFY(QDir().mkpath(folder) && ::chmod(folder, 0700) == 0);
            qputenv("XDG_RUNTIME_DIR", "/run/user/0");
            startHome = "/tmp/elsewhere";
            expected = "/run/user/0";
        } else if (scenario == "swap") {
            // /tmp/vantobel-0 was made first by nobody, who also owns the fallback's parent
            // and swaps run/ for a folder of its own in a loop.
            QVERIFY(QDir().mkpath(base) && QDir().mkpath("/tmp/vantobel-0"));
            QCOMPARE(QProcess::execute("chown", {"nobody:", base, "/tmp/vantobel-0"}), 0);
            attacker.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "perl", "-e", kAttacker,
                                       base, "/tmp/attacker.log"});
            QVERIFY(attacker.waitForReadyRead(10000));
        } else {
            // A home far deeper than a socket address may be long, named by the passwd
            // entry; /tmp/vantobel-0 is a link someone planted.
            QString home = "/root";
            while (home.size() < 120)
                home += "/a-rather-long-folder-name";
            QVERIFY(QDir().mkpath(home) && QFile::link(home, "/tmp/vantobel-0"));
            const QByteArray entry = "root:x:0:0:root:" + home.toUtf8() + ":";
            QVERIFY(writeFile("/tmp/passwd", readFile("/etc/passwd").replace("root:x:0:0:root:/root:", entry)));
            QCOMPARE(::mount("/tmp/passwd", "/etc/passwd", nullptr, MS_BIND, nullptr), 0);
            qputenv("HOME", home.toUtf8());
            expected = home + "/.local/share/VantobelPlayTray/run";
        }

        // The tray, then each later start with its own environment: the same place, the
        // lock taken, the command heard.
        const auto place = LinkFolder::find();
        QCOMPARE(place->path(), expected);
        SingleInstance tray(place);
        QVERIFY(tray.tryAcquire());
        LinkServer server(nullptr, place);
        QVERIFY(server.listen(kTopic));
        QVERIFY(expected.isEmpty() || QFileInfo::exists(expected + '/' + kTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);
        for (int start = 0; start < starts; ++start) {
            qputenv("HOME", QFile::encodeName(startHome));
            if (start == 1)
                qputenv("XDG_RUNTIME_DIR", "/tmp/elsewhere");
            else
                qunsetenv("XDG_RUNTIME_DIR");
            const auto later = LinkFolder::find();
            QVERIFY(!SingleInstance(later).tryAcquire());
            QCOMPARE(send(kSecret + QString::number(start), later), kLinkAccepted);
        }
        QCOMPARE(received.size(), starts);
        if (scenario != "swap")
            return;

        // Another user's client is dropped unheard; the player's name taken by another
        // user gets nothing; the other user's folder and log hold nothing of ours.
        const QByteArray intrusion = QByteArray::fromHex("0000000d") + "/u|||intruder",
                         address = place->address(kTopic);
        QVERIFY(whileServing([&] {
            return asNobody([&] {
                const int fd = rawSocket(address);
                char answer = 0;
                pollfd ready{fd, POLLIN, 0};
                // Dropped before or after the command went out: either way no answer comes.
                [[maybe_unused]] const auto sent =
                    ::send(fd, intrusion.constData(), size_t(intrusion.size()), MSG_NOSIGNAL);
                return fd >= 0 && ::poll(&ready, 1, 10000) == 1 && ::recv(fd, &answer, 1, 0) <= 0;
            });
        }));
        QCOMPARE(received.size(), starts);
        QCOMPARE(linkExecute(kPlayerTopic, kSecret, 3000, place), kLinkRefused);
        attacker.kill();
        QVERIFY(attacker.waitForFinished(5000));
        QCOMPARE(readFile("/tmp/attacker.log"), QByteArray());
        for (QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            struct stat st {};
            const QString path = it.next();
            QVERIFY2(::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid != 0, qPrintable(path));
        }
    }
};

VT_TEST(TestPlayerLink)
#include "test_playerlink.moc"
