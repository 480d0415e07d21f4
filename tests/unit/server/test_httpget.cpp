#include "HttpGet.h"
#include "LocalHttp.h"

#include <QTest>
#include <QTimer>

namespace {
LocalReply route(const LocalRequest& r) {
    const QByteArray path = r.target;
    if (path == "/moved")
        return {302, "", {{"Location", "/final?x=1"}}};
    if (path == "/final?x=1")
        return {200, "arrived"};
    if (path == "/to-file")
        return {302, "", {{"Location", "file:///etc/hostname"}}};
    if (path == "/missing")
        return {404, "not here"};
    if (path == "/never")
        return {200, "", {}, true};
    if (path == "/cap")
        return {200, QByteArray(1024 * 1024, 'x')};
    if (path == "/over")
        return {200, QByteArray(1024 * 1024 + 1, 'x')};
    if (path == "/over-unannounced")
        return {200, QByteArray(1024 * 1024 + 1, 'x'), {}, false, false};
    if (path == "/unannounced")
        return {200, "streamed to the end", {}, false, false};
    return {200, "plain"};
}
} // namespace

class TestHttpGet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answersAndStatuses() {
        LocalHttp server(route);
        HttpGet http;
        HttpResult r = http.get(server.base() + "/");
        QVERIFY(r.ok());
        QCOMPARE(r.text(), QString("plain"));

        r = http.get(server.base() + "/moved");
        QVERIFY(r.ok());
        QCOMPARE(r.body, QByteArray("arrived"));

        // An HTTP error is a complete answer with its status, but not a good one.
        r = http.get(server.base() + "/missing");
        QCOMPARE(r.readyState, 4);
        QCOMPARE(r.status, 404);
        QVERIFY(!r.ok());

        r = http.get(server.base() + "/unannounced");
        QVERIFY(r.ok());
        QCOMPARE(r.body, QByteArray("streamed to the end"));
    }

    void sizeCap() {
        LocalHttp server(route);
        HttpGet http;
        QVERIFY(http.get(server.base() + "/cap").ok());
        QCOMPARE(http.get(server.base() + "/cap").body.size(), 1024 * 1024);
        QVERIFY(!http.get(server.base() + "/over").ok());
        const HttpResult r = http.get(server.base() + "/over-unannounced");
        QVERIFY(!r.ok());
        QVERIFY(r.body.isEmpty());
        http.setMaxBytes(4);
        QVERIFY(!http.get(server.base() + "/").ok());
        QVERIFY(http.get(server.base() + "/missing").status != 404); // capped before the status counts
    }

    void timeOutKeepsTheEventLoopRunning() {
        LocalHttp server(route);
        HttpGet http;
        http.setTimeoutMs(300);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);
        const HttpResult r = http.get(server.base() + "/never");
        QVERIFY(!r.ok());
        QVERIFY(r.readyState != 4);
        QVERIFY(ticks > 0); // timers went on while the request waited
        QCOMPARE(server.requests.size(), 1);
    }

    void onlyWebAddressesAreFetched() {
        LocalHttp server(route);
        HttpGet http;
        for (const QString& address : {QString("file:///etc/hostname"), QString("ftp://127.0.0.1/x"), QString(),
                                       QString("127.0.0.1/x"), QString("data:text/plain,hi")}) {
            const HttpResult r = http.get(address);
            QVERIFY2(!r.ok() && r.readyState == 0, qPrintable(address));
        }
        QVERIFY(!http.get(server.base() + "/to-file").ok());
        QCOMPARE(server.requests.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHttpGet)
#include "test_httpget.moc"
