#include "ApiMold.h"
#include "HttpGet.h"
#include "LocalHttp.h"
#include "Md5Mold.h"
#include "ServerTestKit.h"
#include "TrayState.h"

#include <QTcpServer>
#include <QTest>

namespace {
// The key service answers the bodies in turn (the last one repeats) with the statuses given.
struct KeyService {
    QList<LocalReply> replies;
    qsizetype next = 0;
    LocalHttp http{[this](const LocalRequest&) { return replies.at(qMin(next++, replies.size() - 1)); }};
};

struct ApiKit {
    TempProgramHome home;
    RecordingPrompt prompt;
    RecordingUrlOpener opener;
    FixedClock clock;
    TrayState state;
    HttpGet http;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ApiMold> api;
    explicit ApiKit(const QString& webApi) {
        settings = settingsFor(prompt, home.path(), {webApi, {}, {}});
        api = std::make_unique<ApiMold>(*settings, http, opener, clock, prompt, state);
    }
};

quint16 deadPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort(); // closed again when s goes
}
} // namespace

class TestWebApi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threeFieldsAreCachedForTheRun() {
        KeyService key;
        key.replies = {{200, "A|||B|||C"}, {200, "X|||Y|||Z"}};
        ApiKit kit(key.http.base() + "/api/key");
        QCOMPARE(kit.api->WebApiData(), QString("BC"));
        QCOMPARE(kit.api->WebApiData(), QString("BC"));
        QCOMPARE(key.http.requests.size(), 1);
        // The keyed digest puts the key text in front of the value.
        QCOMPARE(kit.api->ApiMd5("value"), MD5("BCvalue", 16));
        QCOMPARE(key.http.requests.size(), 1);

        // A plain GET with the form content type and no empty Content-Length.
        const LocalRequest& r = key.http.requests[0];
        QCOMPARE(r.target, QByteArray("/api/key"));
        QCOMPARE(r.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QVERIFY(!r.hasHeader("Content-Length"));
    }

    void wrongFieldCountStoresEmptyAndAsksAgain_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::newRow("two fields") << QByteArray("A|||B");
        QTest::newRow("four fields") << QByteArray("A|||B|||C|||D");
        QTest::newRow("one field") << QByteArray("just text");
        QTest::newRow("empty body") << QByteArray();
    }
    void wrongFieldCountStoresEmptyAndAsksAgain() {
        QFETCH(QByteArray, first);
        KeyService key;
        key.replies = {{200, first}, {200, "|||中文|||钥匙"}};
        ApiKit kit(key.http.base() + "/k");
        QCOMPARE(kit.api->WebApiData(), QString());
        QCOMPARE(kit.api->WebApiData(), QString("中文钥匙"));
        QCOMPARE(kit.api->WebApiData(), QString("中文钥匙"));
        QCOMPARE(key.http.requests.size(), 2);
    }

    void failedAnswersLeaveTheCacheAlone() {
        KeyService key;
        key.replies = {{500, "A|||B|||C"}, {404, "A|||B|||C"}, {200, "A|||B|||C"}};
        ApiKit kit(key.http.base() + "/k");
        QCOMPARE(kit.api->WebApiData(), QString());
        QCOMPARE(kit.api->WebApiData(), QString());
        QCOMPARE(kit.api->WebApiData(), QString("BC"));
        QCOMPARE(key.http.requests.size(), 3);
        // With no key text the digest is over the value alone.
        KeyService down;
        down.replies = {{503, ""}};
        ApiKit kit2(down.http.base() + "/k");
        QCOMPARE(kit2.api->ApiMd5("abc"), QString("3cd24fb0d6963f7d"));
    }

    void unreachableOrMissingAddressGivesEmpty() {
        ApiKit dead(QStringLiteral("http://127.0.0.1:%1/k").arg(deadPort()));
        QCOMPARE(dead.api->WebApiData(), QString());
        ApiKit none(QString{});
        QCOMPARE(none.api->WebApiData(), QString());
        ApiKit local(QStringLiteral("file:///etc/hostname"));
        QCOMPARE(local.api->WebApiData(), QString());
        QVERIFY(dead.prompt.calls.isEmpty() && none.prompt.calls.isEmpty());
    }

    void openUrlPassesWebAddressesOnly() {
        ApiKit kit(QString{});
        kit.api->OpenUrl("http://127.0.0.1:8765/news/a?b=1");
        kit.api->OpenUrl("HTTPS://example.invalid/x");
        kit.api->OpenUrl("file:///etc/passwd");
        kit.api->OpenUrl("javascript:alert(1)");
        kit.api->OpenUrl("/usr/bin/xterm");
        kit.api->OpenUrl("");
        QCOMPARE(kit.opener.opened, QStringList({"http://127.0.0.1:8765/news/a?b=1", "HTTPS://example.invalid/x"}));
    }
};

QTEST_GUILESS_MAIN(TestWebApi)
#include "test_webapi.moc"
