#include "PlayerLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <barrier>
#include <cstring>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kTopic = kTrayTopic;

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
// What an attempt returns is dropped before its thread ends: a thread_local would
// outlive QThread::wait() and hold on into the next round.
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

bool writeFileAt(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

// Exactly one of two trays gets the lock, the link listens in folder, and a command
// sent to it arrives.
void expectOneTrayThatHearsThePlayer(const QString& folder) {
    SingleInstance first, second;
    QVERIFY(first.tryAcquire());
    QVERIFY(!second.tryAcquire());
    QCOMPARE(QFileInfo(first.lockPath()).absolutePath(), folder);
    LinkServer server;
    QVERIFY(server.listen(kTopic));
    QSignalSpy received(&server, &LinkServer::commandReceived);
    QCOMPARE(executeWhileServing(kTopic, "/showappico"), kLinkAccepted);
    QCOMPARE(received.size(), 1);
    QVERIFY(QFileInfo::exists(folder + "/" + kTopic));
}

} // namespace

class TestPlayerLink : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_runtime;

private Q_SLOTS:
    void init() {
        QVERIFY(QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        qputenv("XDG_DATA_HOME", (m_runtime.path() + "/data").toUtf8());
    }
    void cleanup() {
        init();
        QFile::remove(linkSocketPath(kTopic));
    }

    // A runtime folder open to others is never used; the lock and the link move below
    // the user's data folder (kept private even when loosened by hand), so there is
    // still exactly one tray and it still hears the player.
    void refusedRuntimeFolderFallsBackBelowHome() {
        QCOMPARE(linkSocketPath(kPlayerTopic), m_runtime.path() + "/VantobelPlay|VantobelPlayDDEForm");
        const QByteArray fallback = QFile::encodeName(m_runtime.path() + "/data/VantobelPlayTray/run");
        for (const mode_t mode : {0777, 0750}) {
            QCOMPARE(::chmod(QFile::encodeName(m_runtime.path()).constData(), mode), 0);
            QCOMPARE(linkRuntimeDir(), QFile::decodeName(fallback));
            expectOneTrayThatHearsThePlayer(QFile::decodeName(fallback));
            struct stat st {};
            QVERIFY(::lstat(fallback.constData(), &st) == 0 && (st.st_mode & 0777) == 0700);
            QCOMPARE(::chmod(fallback.constData(), 0755), 0);
        }
    }

    // The same for the shared /tmp/vantobel-<uid> that is used without XDG_RUNTIME_DIR,
    // made first by someone else: on a private /tmp of a child process in its own mount
    // namespace, so no other test's folder is touched.
    void foreignTmpFolderFallsBackBelowHome() {
        if (qEnvironmentVariableIsSet("VT_LINK_TMP_CASE")) {
            const QString plantedBy = qEnvironmentVariable("VT_LINK_TMP_CASE");
            QCOMPARE(::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777"), 0);
            struct Unmount {
                ~Unmount() { ::umount2("/tmp", MNT_DETACH); }
            } unmount;
            QTemporaryDir home;
            qunsetenv("XDG_RUNTIME_DIR");
            qputenv("XDG_DATA_HOME", home.path().toUtf8());
            const QByteArray shared = QStringLiteral("/tmp/vantobel-%1").arg(::getuid()).toUtf8();
            if (plantedBy == "other") {
                QCOMPARE(::mkdir(shared.constData(), 0700), 0);
                QCOMPARE(::chown(shared.constData(), 65534, 65534), 0);
            } else if (plantedBy == "symlink") {
                QCOMPARE(::symlink(QFile::encodeName(home.path()).constData(), shared.constData()), 0);
            } else if (plantedBy == "open") {
                QCOMPARE(::mkdir(shared.constData(), 0777), 0);
                QCOMPARE(::chmod(shared.constData(), 0777), 0);
            } else {
                QVERIFY(writeFileAt(QString::fromUtf8(shared)));
            }
            expectOneTrayThatHearsThePlayer(home.path() + "/VantobelPlayTray/run");
            return;
        }
        if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
            QSKIP("a private /tmp needs root and unshare");
        for (const char* plantedBy : {"other", "symlink", "open", "file"}) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("VT_LINK_TMP_CASE", plantedBy);
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start("unshare", {"--mount", "--propagation", "private", QCoreApplication::applicationFilePath(),
                                    "foreignTmpFolderFallsBackBelowHome"});
            QVERIFY(child.waitForFinished(60000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, plantedBy);
        }
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
        QVERIFY(makeStaleSocket(linkSocketPath(kTopic)));
        QCOMPARE(linkExecute(kTopic, "/b", 50000), kLinkNoPartner);
        QFile::remove(linkSocketPath(kTopic));

        QLocalServer mute; // accepts in the kernel, never answers
        QVERIFY(mute.listen(linkSocketPath(kTopic)));
        QCOMPARE(linkExecute(kTopic, "/PLAYSETTINGS", 300), kLinkTimedOut);
    }

    void badClientsAreDroppedWithoutBlocking() {
        LinkServer server;
        server.setStallTimeout(60000); // the oversized one must go for its length, not for stalling
        QVERIFY(server.listen(kTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);
        QLocalSocket oversized, overlong;
        for (auto* s : {&oversized, &overlong}) {
            s->connectToServer(linkSocketPath(kTopic));
            QVERIFY(s->waitForConnected(2000));
        }
        oversized.write(header(65537) + QByteArray(100, 'x'));
        overlong.write(header(3) + "abcdef");
        QTRY_COMPARE_WITH_TIMEOUT(oversized.state(), QLocalSocket::UnconnectedState, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(overlong.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(oversized.bytesAvailable() + overlong.bytesAvailable(), 0);

        server.setStallTimeout(300);
        QLocalSocket stalled;
        stalled.connectToServer(linkSocketPath(kTopic));
        QVERIFY(stalled.waitForConnected(2000));
        stalled.write(header(10) + "abc");
        QCOMPARE(executeWhileServing(kTopic, "/showappico"), kLinkAccepted); // served meanwhile
        QTRY_COMPARE_WITH_TIMEOUT(stalled.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(received.size(), 1);
    }

    void staleSocketIsReplacedButNothingElseIs() {
        const QString path = linkSocketPath(kTopic);
        QVERIFY(makeStaleSocket(path));
        LinkServer first, second;
        QVERIFY(first.listen(kTopic));
        QVERIFY(!second.listen(kTopic)); // a live one is not stolen
        QCOMPARE(executeWhileServing(kTopic, "/B|||1"), kLinkAccepted);
        first.close();
        QVERIFY(second.listen(kTopic));
        second.close();

        QFile other(path); // not a socket: neither removed nor replaced
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("keep") == 4);
        other.close();
        QVERIFY(!second.listen(kTopic));
        QCOMPARE(QFileInfo(path).size(), 4);
    }

    void serverMayBeDestroyedByItsOwnCommand() {
        QPointer<LinkServer> server = new LinkServer;
        QVERIFY(server->listen(kTopic));
        connect(server, &LinkServer::commandReceived, server, [&server](const QString&) { delete server; });
        QCOMPARE(executeWhileServing(kTopic, "/exit"), kLinkAccepted);
        QVERIFY(server.isNull());
        QVERIFY(!QFile::exists(linkSocketPath(kTopic)));
    }

    // Two trays racing for the lock: one wins each round (and the loser is refused while
    // the winner holds it). The lock of a tray that died is taken over.
    void oneTrayAtATime() {
        SingleInstance first;
        QProcess gone;
        gone.start("true", {});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile lock(first.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid) + "\nVantobelPlayTray\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QVERIFY(first.tryAcquire());
        QVERIFY(first.tryAcquire()); // asking again while holding it is no refusal
        first.release();

        for (int round = 0; round < 10; ++round) {
            const int winners = raceTwo([](std::atomic<int>& count) {
                auto instance = std::make_unique<SingleInstance>();
                count += instance->tryAcquire();
                return instance;
            });
            QCOMPARE(winners, 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlayerLink)
#include "test_playerlink.moc"
