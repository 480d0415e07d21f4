#include "LocalHttp.h"
#include "Md5Mold.h"

#include <QTest>
#include <QTimer>

namespace {
const QByteArray kMiB(1024 * 1024, 'x');
} // namespace

class TestWebApi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The GET under the key text and the notices: redirects, statuses, cap, time-out.
    void capturedGet() {
        LocalHttp server({LocalReply(302, "", "Location: /final\r\n"), LocalReply(200, kMiB), LocalReply(404, "no"),
                          LocalReply(302, "", "Location: file:///etc/hostname\r\n"),
                          LocalReply(200, kMiB + "x", {}, false, false), LocalReply(200, {}, {}, true)});
        HttpGet http;
        QCOMPARE(http.get(server.base() + "/moved").body, kMiB); // exactly the cap, after a redirect
        const HttpResult missing = http.get(server.base());
        QVERIFY(missing.readyState == 4 && missing.status == 404 && !missing.ok());
        QVERIFY(!http.get(server.base()).ok()); // no redirect to a file
        QVERIFY(!http.get(server.base()).ok()); // one byte over the cap, length not announced
        for (const char* address : {"file:///etc/hostname", "ftp://127.0.0.1/x", "", "127.0.0.1/x"})
            QCOMPARE(http.get(address).readyState, 0);
        QCOMPARE(server.requests.size(), 5);
        http.setTimeoutMs(300);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);
        QVERIFY(http.get(server.base()).readyState != 4);
        QVERIFY(ticks > 0); // timers went on while the request waited
    }

    // Leaving the wait early (the program quitting while a body still arrives) is no
    // complete answer, even though the status line came.
    void unfinishedAnswerFailsWhenTheWaitEnds() {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nA|||B|||C");
        });
        HttpResult result;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
            result = HttpGet().get(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()));
        });
        QCoreApplication::exec();
        QVERIFY(!result.ok());
        QVERIFY(result.body.isEmpty());
    }

    void keyTextIsCachedAfterThreeFields() {
        LocalHttp key({LocalReply(200, "A|||B|||C"), LocalReply(200, "X|||Y|||Z")});
        ApiKit kit(key.base() + "/api/key");
        QCOMPARE(kit.api->WebApiData(), QString("BC"));
        QCOMPARE(kit.api->ApiMd5("value"), MD5("BCvalue", 16));
        QCOMPARE(key.requests.size(), 1);
        QVERIFY(key.requests[0].contains("\r\nContent-Type: application/x-www-form-urlencoded"));
        QVERIFY(!key.requests[0].contains("Content-Length"));
    }

    void badAnswersAskAgain_data() {
        QTest::addColumn<LocalReply>("first");
        QTest::newRow("two fields") << LocalReply(200, "A|||B");
        QTest::newRow("four fields") << LocalReply(200, "A|||B|||C|||D");
        QTest::newRow("500") << LocalReply(500, "A|||B|||C");
        QTest::newRow("only spaces, blank") << LocalReply(200, "A||| ||| ");
    }
    void badAnswersAskAgain() {
        QFETCH(LocalReply, first);
        LocalHttp key({first, LocalReply(200, "|||中文|||钥匙")});
        ApiKit kit(key.base() + "/k");
        QVERIFY(kit.api->WebApiData().trimmed().isEmpty());
        QCOMPARE(kit.api->WebApiData(), QString("中文钥匙"));
        QCOMPARE(kit.api->WebApiData(), QString("中文钥匙"));
        QCOMPARE(key.requests.size(), 2);
    }

    void unreachableKeyService() {
        ApiKit kit(QStringLiteral("http://127.0.0.1:%1/k").arg(deadPort()));
        QCOMPARE(kit.api->WebApiData(), QString());
        QCOMPARE(kit.api->ApiMd5("abc"), QString("3cd24fb0d6963f7d")); // the value alone
        QVERIFY(kit.prompt.calls.isEmpty());
    }

    void openUrlPassesWebAddressesOnly() {
        ApiKit kit(QString{});
        for (const char* a : {"http://127.0.0.1:8765/n?b=1", "HTTPS://h.example/", "file:///etc/passwd",
                              "javascript:alert(1)", "/usr/bin/xterm", ""})
            kit.api->OpenUrl(a);
        QCOMPARE(kit.opener.opened, QStringList({"http://127.0.0.1:8765/n?b=1", "HTTPS://h.example/"}));
    }
};

QTEST_GUILESS_MAIN(TestWebApi)
#include "test_webapi.moc"
