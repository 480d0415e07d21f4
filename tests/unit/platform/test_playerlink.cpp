#include "PlayerLink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostInfo>
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

const QString kTestTopic = QStringLiteral("VantobelPlayTray|VantobelPlayTrayDDEForm");

// Runs the blocking client on a worker thread while this thread serves events,
// as the tray and the player do in two processes.
int executeWhileServing(const QString& topic, const QString& command, int timeoutMs = 5000) {
    std::atomic<int> result{-1};
    std::unique_ptr<QThread> worker(QThread::create([&] { result = linkExecute(topic, command, timeoutMs); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 10000, &loop, &QEventLoop::quit);
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
    return ok && QFile::exists(path);
}

QByteArray header(quint32 length) {
    QByteArray h(4, '\0');
    qToBigEndian<quint32>(length, h.data());
    return h;
}

} // namespace

class TestPlayerLink : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_runtime;
    QByteArray m_oldRuntime;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_runtime.isValid());
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    }
    void init() {
        QVERIFY(QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }
    void cleanup() {
        init();
        QFile::remove(linkSocketPath(kTestTopic));
        QFile::remove(linkSocketPath(kPlayerTopic));
    }
    void cleanupTestCase() {
        if (m_oldRuntime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
    }

    void runtimeFolderMustBePrivate() {
        QCOMPARE(linkRuntimeDir(), m_runtime.path());
        QCOMPARE(linkSocketPath(kPlayerTopic), m_runtime.path() + "/VantobelPlay|VantobelPlayDDEForm");

        for (const auto open : {QFile::ReadGroup | QFile::ExeGroup, QFile::ReadOther | QFile::WriteOther}) {
            QVERIFY(
                QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | open));
            QVERIFY(linkRuntimeDir().isEmpty());
            QVERIFY(linkSocketPath(kTestTopic).isEmpty());
            LinkServer server;
            QVERIFY(!server.listen(kTestTopic));
            QCOMPARE(linkExecute(kTestTopic, "/b", 500), kLinkNoPartner);
        }
        ::chmod(QFile::encodeName(m_runtime.path()).constData(), 0777);
        QVERIFY(linkRuntimeDir().isEmpty());

        qputenv("XDG_RUNTIME_DIR", (m_runtime.path() + "/missing").toUtf8());
        QVERIFY(linkRuntimeDir().isEmpty());
        QFile plain(m_runtime.path() + "/plain");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        qputenv("XDG_RUNTIME_DIR", plain.fileName().toUtf8());
        QVERIFY(linkRuntimeDir().isEmpty());
        plain.remove();
    }

    void commandsArriveIntactAndInOrder() {
        LinkServer server;
        QVERIFY(server.listen(kTestTopic));
        QVERIFY(server.isListening());
        QSignalSpy received(&server, &LinkServer::commandReceived);

        QString exactLimit = QString(21845, QChar(0x4E2D)) + QLatin1Char('a'); // 3 * 21845 + 1 = 65,536 bytes
        QCOMPARE(exactLimit.toUtf8().size(), 65536);
        const QStringList commands = {
            QStringLiteral("/U|||HiddenTrayIco|||1|||张三|||秘密|||4|||5|||6|||7"),
            QString(),
            QStringLiteral("line one\nline two\r\n\t|||"),
            QString(65536, QLatin1Char('x')),
            exactLimit,
        };
        for (const QString& command : commands)
            QCOMPARE(executeWhileServing(kTestTopic, command), kLinkAccepted);
        QCOMPARE(received.size(), commands.size());
        for (qsizetype i = 0; i < commands.size(); ++i)
            QCOMPARE(received.at(i).at(0).toString(), commands.at(i));

        // One byte over the limit is refused by the sender and never reaches the server.
        QCOMPARE(executeWhileServing(kTestTopic, QString(65537, QLatin1Char('x'))), kLinkTooLong);
        QCOMPARE(received.size(), commands.size());
    }

    void noListenerMeansNoPartner() {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(linkExecute(kTestTopic, "/b", 50000), kLinkNoPartner);
        QVERIFY(makeStaleSocket(linkSocketPath(kTestTopic)));
        QCOMPARE(linkExecute(kTestTopic, "/b", 50000), kLinkNoPartner);
        // Neither case may wait for the time-out.
        QVERIFY(clock.elapsed() < 10000);
    }

    void silentServerTimesOut() {
        QLocalServer mute;
        QVERIFY(mute.listen(linkSocketPath(kTestTopic)));
        QCOMPARE(linkExecute(kTestTopic, "/PLAYSETTINGS", 300), kLinkTimedOut);
    }

    void hangUpWithoutAnswerIsAnotherFailure() {
        QLocalServer rude;
        QVERIFY(rude.listen(linkSocketPath(kTestTopic)));
        connect(&rude, &QLocalServer::newConnection, &rude, [&rude] {
            while (QLocalSocket* s = rude.nextPendingConnection())
                s->abort();
        });
        const int result = executeWhileServing(kTestTopic, "/Exit", 5000);
        QVERIFY(result != kLinkAccepted && result != kLinkNoPartner && result != kLinkTimedOut);
    }

    void oversizedLengthIsRefusedAtOnce() {
        LinkServer server;
        server.setStallTimeout(60000); // the refusal must not come from the stall guard
        QVERIFY(server.listen(kTestTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);

        QLocalSocket oversized;
        oversized.connectToServer(linkSocketPath(kTestTopic));
        QVERIFY(oversized.waitForConnected(2000));
        oversized.write(header(65537) + QByteArray(100, 'x'));
        oversized.flush();
        QTRY_COMPARE_WITH_TIMEOUT(oversized.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(oversized.bytesAvailable(), 0);

        QLocalSocket overlong;
        overlong.connectToServer(linkSocketPath(kTestTopic));
        QVERIFY(overlong.waitForConnected(2000));
        overlong.write(header(3) + "abcdef");
        overlong.flush();
        QTRY_COMPARE_WITH_TIMEOUT(overlong.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(received.size(), 0);

        QCOMPARE(executeWhileServing(kTestTopic, "/b"), kLinkAccepted);
        QCOMPARE(received.size(), 1);
    }

    void stalledClientDoesNotBlockOthers() {
        LinkServer server;
        server.setStallTimeout(300);
        QVERIFY(server.listen(kTestTopic));
        QSignalSpy received(&server, &LinkServer::commandReceived);

        QLocalSocket silent;
        silent.connectToServer(linkSocketPath(kTestTopic));
        QVERIFY(silent.waitForConnected(2000));
        QLocalSocket stalled;
        stalled.connectToServer(linkSocketPath(kTestTopic));
        QVERIFY(stalled.waitForConnected(2000));
        stalled.write(header(10) + "abc");
        stalled.flush();

        // While both hang on, a proper client is still served.
        QCOMPARE(executeWhileServing(kTestTopic, "/showappico"), kLinkAccepted);
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QLocalSocket::UnconnectedState, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(stalled.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(stalled.bytesAvailable(), 0);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("/showappico"));
    }

    void staleSocketIsReplacedButLiveOneIsNotStolen() {
        const QString path = linkSocketPath(kPlayerTopic);
        QVERIFY(makeStaleSocket(path));
        LinkServer first;
        QVERIFY(first.listen(kPlayerTopic));
        QSignalSpy firstReceived(&first, &LinkServer::commandReceived);

        LinkServer second;
        QSignalSpy secondReceived(&second, &LinkServer::commandReceived);
        QVERIFY(!second.listen(kPlayerTopic));
        QVERIFY(!second.isListening());
        QCOMPARE(executeWhileServing(kPlayerTopic, "/B|||1|||2"), kLinkAccepted);
        QCOMPARE(firstReceived.size(), 1);
        QCOMPARE(secondReceived.size(), 0);

        // Closing frees the name for the next server.
        first.close();
        QVERIFY(second.listen(kPlayerTopic));
        QCOMPARE(executeWhileServing(kPlayerTopic, "/Exit"), kLinkAccepted);
        QCOMPARE(secondReceived.size(), 1);
    }

    void simultaneousListenersEndWithOneServer() {
        for (int round = 0; round < 20; ++round) {
            std::atomic<int> listening{0};
            std::barrier start(3);
            auto attempt = [&] {
                LinkServer server;
                start.arrive_and_wait();
                if (server.listen(kTestTopic))
                    ++listening;
                start.arrive_and_wait(); // hold the name until both have tried
                start.arrive_and_wait();
            };
            std::unique_ptr<QThread> t1(QThread::create(attempt));
            std::unique_ptr<QThread> t2(QThread::create(attempt));
            t1->start();
            t2->start();
            start.arrive_and_wait();
            start.arrive_and_wait();
            const int winners = listening;
            start.arrive_and_wait();
            t1->wait();
            t2->wait();
            QCOMPARE(winners, 1);
        }
    }

    void fileThatIsNotASocketIsLeftAlone() {
        QFile other(linkSocketPath(kTestTopic));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("keep me");
        other.close();
        LinkServer server;
        QVERIFY(!server.listen(kTestTopic));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("keep me"));
        other.close();
        other.remove();
    }

    void serverMayBeDestroyedByItsOwnCommand() {
        auto* server = new LinkServer;
        QVERIFY(server->listen(kTestTopic));
        QPointer<LinkServer> watch(server);
        connect(server, &LinkServer::commandReceived, server, [server](const QString&) { delete server; });
        QCOMPARE(executeWhileServing(kTestTopic, "/exit"), kLinkAccepted);
        QVERIFY(watch.isNull());
        QVERIFY(!QFile::exists(linkSocketPath(kTestTopic)));
    }

    void oneTrayAtATime() {
        SingleInstance first;
        SingleInstance second;
        QVERIFY(first.lockPath().startsWith(m_runtime.path() + "/"));
        QVERIFY(first.tryAcquire());
        QVERIFY(!second.tryAcquire());
        first.release();
        QVERIFY(second.tryAcquire());
        QVERIFY(!first.tryAcquire());
        second.release();
    }

    void lockOfACrashedTrayIsTakenOver() {
        QProcess gone;
        gone.start("sleep", {"0"});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());

        SingleInstance next;
        QFile lock(next.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid) + "\nVantobelPlayTray\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QVERIFY(next.tryAcquire());
        next.release();
        QVERIFY(!QFile::exists(next.lockPath()));
    }

    void simultaneousStartsEndWithOneOwner() {
        for (int round = 0; round < 20; ++round) {
            SingleInstance a;
            SingleInstance b;
            std::atomic<int> owners{0};
            std::barrier start(2);
            auto attempt = [&](SingleInstance& instance) {
                start.arrive_and_wait();
                if (instance.tryAcquire())
                    ++owners;
            };
            std::unique_ptr<QThread> t1(QThread::create(attempt, std::ref(a)));
            std::unique_ptr<QThread> t2(QThread::create(attempt, std::ref(b)));
            t1->start();
            t2->start();
            t1->wait();
            t2->wait();
            QCOMPARE(owners.load(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlayerLink)
#include "test_playerlink.moc"
