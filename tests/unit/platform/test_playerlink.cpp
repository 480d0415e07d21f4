#include "PlayerLink.h"

#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <barrier>
#include <cstring>
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

} // namespace

class TestPlayerLink : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_runtime;

private Q_SLOTS:
    void init() {
        QVERIFY(QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }
    void cleanup() {
        init();
        QFile::remove(linkSocketPath(kTopic));
    }

    void runtimeFolderMustBePrivate() {
        QCOMPARE(linkSocketPath(kPlayerTopic), m_runtime.path() + "/VantobelPlay|VantobelPlayDDEForm");
        for (const int mode : {0750, 0777}) {
            QCOMPARE(::chmod(QFile::encodeName(m_runtime.path()).constData(), mode_t(mode)), 0);
            QVERIFY(linkRuntimeDir().isEmpty());
            LinkServer server;
            QVERIFY(!server.listen(kTopic));
            QCOMPARE(linkExecute(kTopic, "/b", 500), kLinkNoPartner);
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

    void oneTrayAtATime() {
        SingleInstance first, second;
        QVERIFY(first.tryAcquire());
        QVERIFY(!second.tryAcquire());
        first.release();

        // The lock of a tray that died is taken over.
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
