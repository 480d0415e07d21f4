#include "LinkClient.h"
#include "LinkFolder.h"
#include "LinkServer.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <barrier>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kTopic = kTrayTopic;
const QString kSecret = QStringLiteral("/u|||opt|||1|||parent|||password-field|||4|||5|||6|||7");

QString socketPath(const QString& topic) {
    return QFile::decodeName(LinkFolder::process()->address(topic));
}

// The blocking client runs on a worker thread while this thread serves, as the
// tray and the player do in two processes.
int executeWhileServing(const QString& topic, const QString& command) {
    std::atomic<int> result{-1};
    std::unique_ptr<QThread> worker(QThread::create([&] { result = linkExecute(topic, command, 5000); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    return result;
}

// A socket file whose server is gone: bound, never listening, closed.
bool makeStaleSocket(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
}

QByteArray header(quint32 length) {
    QByteArray h(4, '\0');
    qToBigEndian<quint32>(length, h.data());
    return h;
}

// Runs attempt on two threads released at the same moment; counts how many succeed.
// What an attempt returns is dropped before its thread ends.
template <typename Attempt> int raceTwo(Attempt attempt) {
    std::atomic<int> winners{0};
    std::barrier sync(3);
    auto body = [&] {
        sync.arrive_and_wait();
        const auto held = attempt(winners);
        sync.arrive_and_wait(); // both keep what they got until the count is read
        sync.arrive_and_wait();
    };
    std::unique_ptr<QThread> a(QThread::create(body)), b(QThread::create(body));
    a->start();
    b->start();
    sync.arrive_and_wait();
    sync.arrive_and_wait();
    const int result = winners;
    sync.arrive_and_wait();
    a->wait();
    b->wait();
    return result;
}

// This program run again as a tray ("tray": takes the lock, listens, prints what it
// hears) or as a later start ("start": finds the lock taken and forwards its
// argument; "player": sends its argument to the player), as the real ones do.
int runRole(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString role = qEnvironmentVariable("VT_LINK_ROLE");
    const QString argument = QCoreApplication::arguments().value(1);
    auto say = [](const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    SingleInstance single;
    if (role == QLatin1String("player")) {
        say(QString::number(linkExecute(kPlayerTopic, argument, 3000)));
        return 0;
    }
    if (role == QLatin1String("start")) {
        if (single.tryAcquire()) {
            say(QStringLiteral("a second tray"));
            return 3;
        }
        say(QString::number(linkExecute(kTrayTopic, argument, 5000)));
        return 0;
    }
    if (!single.tryAcquire()) {
        say(QStringLiteral("a second tray"));
        return 3;
    }
    LinkServer server;
    QObject::connect(&server, &LinkServer::commandReceived, &app, [&](const QString& command) {
        say(QStringLiteral("got ") + command);
        if (command == QLatin1String("/exit"))
            app.quit();
    });
    server.listen(kTrayTopic);
    say(QStringLiteral("ready ") + single.lockPath());
    return QCoreApplication::exec();
}

// The test program, started again in each role. A scenario hides /tmp, /run/user and
// /root behind fresh folders, so it first copies the program out of them (a build
// folder may well lie below /tmp).
QString& selfPath() {
    static QString path = QCoreApplication::applicationFilePath();
    return path;
}

QProcessEnvironment roleEnvironment(const QString& role) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VT_LINK_ROLE"), role);
    env.remove(QStringLiteral("VT_LINK_SCENARIO"));
    return env;
}

// A tray process (or command), stopped at the end.
class Tray {
public:
    explicit Tray(QProcessEnvironment env, QStringList command = {selfPath()}) {
        m_process.setProcessEnvironment(env);
        m_process.setReadChannel(QProcess::StandardOutput);
        m_process.start(command.takeFirst(), command);
    }
    ~Tray() { stop(); }
    void stop() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // Waits until the output holds text; false after ms.
    bool waitFor(const QString& text, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!output().contains(text) && clock.elapsed() < ms)
            m_process.waitForReadyRead(50);
        return output().contains(text);
    }
    QString output() {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    QString m_output;
};

// A later start (or the player client) with env: what it printed.
QString runOnce(QProcessEnvironment env, const QString& argument) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(selfPath(), {argument});
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool run(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}

int openDescriptors(qint64 pid) {
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::AllEntries | QDir::System).size()) - 2;
}

// Another local user's loop (as nobody): swaps the folder <base>/run with one of its
// own holding a socket named like the tray's, listens on the player's abstract name
// too, and writes down whatever it is sent.
const char* const kAttacker = R"(
use strict; use IO::Socket::UNIX; use IO::Select; use IO::Handle;
my ($base, $log) = @ARGV;
chdir $base or die "chdir: $!";
mkdir "evil", 0755;
my @servers = grep { defined } (
    IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => "evil/VantobelPlayTray|VantobelPlayTrayDDEForm", Listen => 64),
    IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => "\0vantobel-0/VantobelPlay|VantobelPlayDDEForm", Listen => 64));
die "listen: $!" unless @servers == 2;
$_->blocking(0) for @servers;
open(my $out, '>>', $log) or die; $out->autoflush(1);
print "ready\n"; STDOUT->flush;
while (1) {
    rename "run", "ours"; rename "evil", "run";
    select(undef, undef, undef, 0.002);
    rename "run", "evil"; rename "ours", "run";
    for my $s (@servers) {
        while (my $c = $s->accept) {
            my $got = ''; $c->blocking(1);
            sysread($c, $got, 65540) if IO::Select->new($c)->can_read(0.5);
            print $out "received: $got\n" if length $got;
            close $c;
        }
    }
}
)";

// As nobody: sends a command to the tray's abstract name; prints what came back.
const char* const kIntruder = R"(
use strict; use IO::Socket::UNIX; $SIG{PIPE} = 'IGNORE';
my $s = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => "\0vantobel-0/VantobelPlayTray|VantobelPlayTrayDDEForm") or die "connect: $!";
my $c = "/u|||intruder"; print $s pack('N', length $c) . $c; $s->flush;
my $answer = ''; sysread($s, $answer, 1); print length($answer) ? "answered\n" : "dropped\n";
)";

} // namespace

class TestPlayerLink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        if (!qEnvironmentVariableIsSet("VT_LINK_SCENARIO"))
            QFile::remove(socketPath(kTopic));
    }

    void commandsArriveIntact() {
        LinkServer server;
        QVERIFY(server.listen(kTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);
        const QString atLimit = QString(21845, QChar(0x4E2D)) + 'a'; // 3 * 21845 + 1 = 65,536 bytes of UTF-8
        const QStringList commands = {"/U|||HiddenTrayIco|||1|||张三|||秘密|||4|||5|||6|||7", "", "a\nb\r\n|||",
                                      atLimit};
        for (const QString& command : commands)
            QCOMPARE(executeWhileServing(kTopic, command), kLinkAccepted);
        QCOMPARE(received.size(), commands.size());
        for (qsizetype i = 0; i < commands.size(); ++i)
            QCOMPARE(received.at(i).at(0).toString(), commands.at(i));

        // One byte over the limit is refused by the sender and never sent.
        QCOMPARE(executeWhileServing(kTopic, atLimit + 'b'), kLinkTooLong);
        QCOMPARE(received.size(), commands.size());
    }

    void failuresOfTheSender() {
        QCOMPARE(linkExecute(kTopic, "/b", 50000), kLinkNoPartner);
        QVERIFY(makeStaleSocket(socketPath(kTopic)));
        QCOMPARE(linkExecute(kTopic, "/b", 50000), kLinkNoPartner);
        QFile::remove(socketPath(kTopic));

        QLocalServer mute; // accepts in the kernel, never answers
        QVERIFY(mute.listen(socketPath(kTopic)));
        QCOMPARE(linkExecute(kTopic, "/PLAYSETTINGS", 300), kLinkTimedOut);
    }

    void badClientsAreDroppedWithoutBlocking() {
        LinkServer server;
        server.setStallTimeout(60000); // the oversized one must go for its length, not for stalling
        QVERIFY(server.listen(kTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);
        QLocalSocket oversized, overlong;
        for (auto* s : {&oversized, &overlong}) {
            s->connectToServer(socketPath(kTopic));
            QVERIFY(s->waitForConnected(2000));
        }
        oversized.write(header(65537) + QByteArray(100, 'x'));
        overlong.write(header(3) + "abcdef");
        QTRY_COMPARE_WITH_TIMEOUT(oversized.state(), QLocalSocket::UnconnectedState, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(overlong.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(oversized.bytesAvailable() + overlong.bytesAvailable(), 0);

        server.setStallTimeout(300);
        QLocalSocket stalled;
        stalled.connectToServer(socketPath(kTopic));
        QVERIFY(stalled.waitForConnected(2000));
        stalled.write(header(10) + "abc");
        QCOMPARE(executeWhileServing(kTopic, "/showappico"), kLinkAccepted); // served meanwhile
        QTRY_COMPARE_WITH_TIMEOUT(stalled.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(received.size(), 1);
    }

    void staleSocketIsReplacedButNothingElseIs() {
        const QString path = socketPath(kTopic);
        QVERIFY(makeStaleSocket(path));
        LinkServer first, second;
        QVERIFY(first.listen(kTopic));
        QVERIFY(!second.listen(kTopic)); // a live one is not stolen
        QCOMPARE(executeWhileServing(kTopic, "/B|||1"), kLinkAccepted);
        second.close();
        first.close();
        QVERIFY(second.listen(kTopic));
        second.close();

        QFile other(path); // not a socket: neither removed nor replaced
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("keep") == 4);
        other.close();
        QVERIFY(!second.listen(kTopic));
        QCOMPARE(QFileInfo(path).size(), 4);
        second.close();
    }

    void serverMayBeDestroyedByItsOwnCommand() {
        QPointer<LinkServer> server = new LinkServer;
        QVERIFY(server->listen(kTopic));
        connect(server, &LinkServer::commandReceived, server, [&server](const QString&) { delete server; });
        QCOMPARE(executeWhileServing(kTopic, "/exit"), kLinkAccepted);
        QVERIFY(server.isNull());
        QVERIFY(!QFile::exists(socketPath(kTopic)));
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
            const int winners = raceTwo([](std::atomic<int>& count) {
                auto instance = std::make_unique<SingleInstance>();
                count += instance->tryAcquire();
                return instance;
            });
            QCOMPARE(winners, 1);
        }
    }

    // The link listens again when its socket file is removed, and when descriptors ran
    // out (a same-user process holding more connections than the tray may open files).
    void theLinkComesBack() {
        {
            LinkServer server;
            QVERIFY(server.listen(kTopic));
            QSignalSpy received(&server, &LinkServer::commandReceived);
            QVERIFY(QFile::remove(socketPath(kTopic)));
            QTRY_VERIFY(QFileInfo(socketPath(kTopic)).exists());
            QCOMPARE(executeWhileServing(kTopic, "/showappico"), kLinkAccepted);
            QCOMPARE(received.size(), 1);
        }
        if (QStandardPaths::findExecutable("prlimit").isEmpty())
            QSKIP("prlimit (util-linux) is missing");
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
        QVERIFY2(::setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > 1200, "cannot open 1,100 connections");

        Tray tray(roleEnvironment("tray"), {"prlimit", "--nofile=1024:1024", selfPath()});
        QVERIFY(tray.waitFor("ready"));
        const QByteArray address = LinkFolder::process()->address(kTopic);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, address.constData(), size_t(address.size()));
        std::vector<int> held;
        for (int i = 0; i < 1100; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            QVERIFY(fd >= 0);
            held.push_back(fd);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
        }
        QTRY_VERIFY_WITH_TIMEOUT(openDescriptors(tray.pid()) >= 1020, 10000);
        QTest::qWait(200); // the tray meets the limit and must not give up
        for (const int fd : held)
            ::close(fd);
        QElapsedTimer released;
        released.start();
        int result = -1;
        while ((result = linkExecute(kTopic, "/showappico", 2000)) != kLinkAccepted && released.elapsed() < 15000)
            QThread::msleep(20);
        qInfo("the link answered %lld ms after the descriptors were released", released.elapsed());
        QCOMPARE(result, kLinkAccepted);
        QVERIFY(tray.waitFor("got /showappico"));
    }

    // Every start of a user finds the same lock and link, however its environment is
    // set, never uses a folder another user can change, and keeps one tray when no
    // folder is safe or the home is deep. Each case runs in a private mount and
    // network namespace with fresh /tmp, /run/user and /root, as root.
    void oneTrayPerUserWhateverTheEnvironment_data() {
        QTest::addColumn<QString>("scenario");
        for (const char* scenario : {"environment", "swap", "deep"})
            QTest::newRow(scenario) << QString::fromLatin1(scenario);
    }
    void oneTrayPerUserWhateverTheEnvironment() {
        QFETCH(QString, scenario);
        if (qEnvironmentVariableIsSet("VT_LINK_SCENARIO")) {
            inScenario(scenario);
            return;
        }
        if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty() ||
            QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("the scenarios need root, unshare and setpriv");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VT_LINK_SCENARIO", "1");
        env.remove("VANTOBEL_LINK_DIR");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start("unshare", {"--mount", "--net", "--propagation", "private", QCoreApplication::applicationFilePath(),
                                "oneTrayPerUserWhateverTheEnvironment:" + scenario});
        QVERIFY(child.waitForFinished(120000));
        QVERIFY(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0);
    }

private:
    void inScenario(const QString& scenario) {
        // Only this namespace sees the copy.
        QVERIFY(QDir().mkpath("/mnt"));
        QCOMPARE(::mount("tmpfs", "/mnt", "tmpfs", 0, "mode=0755"), 0);
        const QString program = QStringLiteral("/mnt/") + QFileInfo(selfPath()).fileName();
        QVERIFY(QFile::copy(selfPath(), program));
        QVERIFY(::chmod(QFile::encodeName(program).constData(), 0755) == 0);
        selfPath() = program;
        QCOMPARE(::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777"), 0);
        QCOMPARE(::mount("tmpfs", "/run/user", "tmpfs", 0, "mode=0755"), 0);
        QCOMPARE(::mount("tmpfs", "/root", "tmpfs", 0, "mode=0755"), 0);
        QProcessEnvironment trayEnv = roleEnvironment("tray");
        for (const char* name : {"VANTOBEL_LINK_DIR", "XDG_RUNTIME_DIR", "XDG_DATA_HOME"})
            trayEnv.remove(name);
        trayEnv.insert("HOME", "/root");
        QProcessEnvironment startEnv = trayEnv;
        startEnv.insert("VT_LINK_ROLE", "start");

        if (scenario == "environment") {
            // One start from the desktop session, the next from a terminal after su or a
            // cron job: without XDG_RUNTIME_DIR, or with another private one, and another HOME.
            QVERIFY(QDir().mkpath("/run/user/0") && ::chmod("/run/user/0", 0700) == 0);
            QVERIFY(QDir().mkpath("/tmp/elsewhere") && ::chmod("/tmp/elsewhere", 0700) == 0);
            trayEnv.insert("XDG_RUNTIME_DIR", "/run/user/0");
            Tray tray(trayEnv);
            QVERIFY(tray.waitFor("ready /run/user/0/"));
            startEnv.insert("HOME", "/tmp/elsewhere");
            QCOMPARE(runOnce(startEnv, "/b|||first"), QStringLiteral("0"));
            startEnv.insert("XDG_RUNTIME_DIR", "/tmp/elsewhere");
            QCOMPARE(runOnce(startEnv, "/b|||second"), QStringLiteral("0"));
            QVERIFY(tray.waitFor("got /b|||first\ngot /b|||second"));
            return;
        }

        if (scenario == "swap") {
            // /tmp/vantobel-0 was made first by nobody, who also owns the fallback's parent
            // and swaps run/ for a folder of its own in a loop.
            const QString base = "/root/.local/share/VantobelPlayTray";
            QVERIFY(QDir().mkpath(base) && QDir().mkpath("/tmp/vantobel-0"));
            QVERIFY(run("chown", {"nobody:", base, "/tmp/vantobel-0"}));
            QFile script("/tmp/attacker.pl");
            QVERIFY(script.open(QIODevice::WriteOnly) && script.write(kAttacker) > 0);
            script.close();
            const QStringList asNobody = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "perl"};
            Tray attacker(QProcessEnvironment::systemEnvironment(),
                          asNobody + QStringList{"/tmp/attacker.pl", base, "/tmp/attacker.log"});
            QVERIFY(attacker.waitFor("ready"));

            Tray tray(trayEnv);
            QVERIFY(tray.waitFor("ready"));
            for (int start = 0; start < 30; ++start)
                QCOMPARE(runOnce(startEnv, kSecret + QString::number(start)), QStringLiteral("0"));
            QVERIFY(tray.waitFor("got " + kSecret + "29"));
            QCOMPARE(tray.output().count(kSecret), 30);

            // Another user's client is dropped unheard; the player's name taken by
            // another user gets nothing.
            QProcess intruder;
            intruder.start("setpriv", asNobody.mid(1) + QStringList{"-e", kIntruder});
            QVERIFY(intruder.waitForFinished(10000));
            QCOMPARE(QString::fromUtf8(intruder.readAllStandardOutput()).trimmed(), QStringLiteral("dropped"));
            QProcessEnvironment playerEnv = trayEnv;
            playerEnv.insert("VT_LINK_ROLE", "player");
            QCOMPARE(runOnce(playerEnv, kSecret), QString::number(kLinkRefused));
            QVERIFY(!tray.output().contains("intruder"));

            QFile log("/tmp/attacker.log");
            QVERIFY(!log.open(QIODevice::ReadOnly) || log.readAll().isEmpty());
            // Nothing of ours (no lock, no socket, no folder) inside the other user's folder,
            // read once the swapping has stopped.
            attacker.stop();
            for (QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                 QDirIterator::Subdirectories);
                 it.hasNext();) {
                struct stat st {};
                const QString path = it.next();
                QVERIFY2(::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid != 0, qPrintable(path));
            }
            return;
        }

        // A home far deeper than a socket address may be long, named by the passwd
        // entry; /tmp/vantobel-0 is a link someone planted.
        QString home = "/root";
        while (home.size() < 120)
            home += "/a-rather-long-folder-name";
        QVERIFY(QDir().mkpath(home));
        QVERIFY(QFile::link(home, "/tmp/vantobel-0"));
        QFile passwd("/etc/passwd");
        QVERIFY(passwd.open(QIODevice::ReadOnly));
        QByteArray entries = passwd.readAll();
        passwd.close();
        entries.replace("root:x:0:0:root:/root:", QByteArray("root:x:0:0:root:" + home.toUtf8() + ":"));
        QFile copy("/tmp/passwd");
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(entries) == entries.size());
        copy.close();
        QCOMPARE(::mount("/tmp/passwd", "/etc/passwd", nullptr, MS_BIND, nullptr), 0);
        trayEnv.insert("HOME", home);
        startEnv.insert("HOME", home);

        Tray tray(trayEnv);
        QVERIFY(tray.waitFor("ready " + home + "/.local/share/VantobelPlayTray/run/"));
        QVERIFY(QFileInfo(home + "/.local/share/VantobelPlayTray/run/" + kTrayTopic).exists());
        QCOMPARE(runOnce(startEnv, "/b|||deep"), QStringLiteral("0"));
        QVERIFY(tray.waitFor("got /b|||deep"));
    }
};

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet("VT_LINK_ROLE"))
        return runRole(argc, argv);
    // A link folder of this run's own, so that tests running side by side never meet;
    // the scenarios look for the real places inside their namespaces.
    QTemporaryDir folder;
    if (!qEnvironmentVariableIsSet("VT_LINK_SCENARIO"))
        qputenv("VANTOBEL_LINK_DIR", QFile::encodeName(folder.path() + "/link"));
    QCoreApplication app(argc, argv);
    TestPlayerLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_playerlink.moc"
