#include "ApiMold.h"
#include "HttpGet.h"
#include "LocalHttp.h"
#include "Md5Mold.h"
#include "ServerTestKit.h"
#include "TrayState.h"
#include "VendorProcess.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

namespace {
struct SignInKit {
    TempProgramHome home;
    RecordingPrompt prompt;
    RecordingUrlOpener opener;
    FixedClock clock;
    TrayState state;
    HttpGet http;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ApiMold> api;
    SignInKit(const QString& webApi, const QString& interfaceServer) {
        settings = settingsFor(prompt, home.path(), {webApi, interfaceServer, {}});
        api = std::make_unique<ApiMold>(*settings, http, opener, clock, prompt, state);
    }
    void user(const QString& name, const QString& secret) {
        state.ParentUser.Field[0] = QStringLiteral("1");
        state.ParentUser.Field[1] = name;
        state.ActiveUserField3 = secret;
    }
};

// One GET that does not follow redirects: the status and the Location header.
std::pair<int, QString> fetchOnce(const QString& address) {
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            QString::fromUtf8(reply->rawHeader("Location"))};
}

QString writeUsers(const QString& dir) {
    QFile f(dir + "/users.txt");
    f.open(QIODevice::WriteOnly);
    f.write("# test users\n小明妈妈\t芝麻开门2026\nplain  s3cret'\"\n");
    return f.fileName();
}
} // namespace

class TestSignIn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void urlEncode_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("time text") << "2009/3/5 14:05:06"
                                   << "2009%2F3%2F5%2014%3A05%3A06";
        QTest::newRow("address") << "http://h.example/p/q?x=1&y=2#top"
                                 << "http%3A%2F%2Fh.example%2Fp%2Fq?x=1&y=2#top";
        QTest::newRow("apostrophe") << "it's"
                                    << "it's";
        QTest::newRow("Chinese") << "中文"
                                 << "%E4%B8%AD%E6%96%87";
        QTest::newRow("kept marks") << ";,?:@&=+$-_.!~*'()#"
                                    << ";,?%3A@&=%2B$-_.!~*'()#";
        QTest::newRow("percent and space") << "100% a"
                                           << "100%25%20a";
        // Backslashes and quotes are plain characters here, never script syntax.
        QTest::newRow("backslash") << "a\\n\"<>"
                                   << "a%5Cn%22%3C%3E";
        QTest::newRow("line break") << "a\r\nb"
                                    << "a%0D%0Ab";
        QTest::newRow("four-byte character") << QString::fromUtf8("\xF0\x9F\x98\x80") << "%F0%9F%98%80";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "a"
                                        << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void urlEncode() {
        QFETCH(QString, value);
        QFETCH(QString, encoded);
        QCOMPARE(UrlEncode(value), encoded);
    }

    void addressShapeAndDigestChain() {
        LocalHttp key([](const LocalRequest&) { return LocalReply(200, "x|||AB|||CD"); });
        SignInKit kit(key.base() + "/api/key", "http://127.0.0.1:8765");
        kit.user("demo", " secret ");
        const QString t = "2009-03-05 14:05:06";
        const QString m1 = MD5("secret", 16); // the secret goes through SafeRequest: trimmed
        const QString m2 = MD5("ABCD" + QString("demo") + m1, 16);
        const QString check = MD5("ABCD" + m2 + t, 16);
        QCOMPARE(LoginCheckDigest("ABCD", "demo", " secret ", t), check);

        kit.api->GoWebLogin("http://127.0.0.1:8765/home?a=1&b=2");
        QCOMPARE(kit.opener.opened.size(), 1);
        QCOMPARE(kit.opener.opened[0], "http://127.0.0.1:8765/interface/get.asp?Stup=SoftLoginWeb&v=2&UserName=demo"
                                       "&Md5Check=" +
                                           check +
                                           "&t=2009-03-05%2014%3A05%3A06"
                                           "&GoUrlStr=http%3A%2F%2F127.0.0.1%3A8765%2Fhome?a=1&b=2");
        QVERIFY(kit.prompt.calls.isEmpty());

        // The time text follows the clock; the key text is not asked for again.
        kit.clock.advanceSecs(61);
        const QString again = kit.api->SignedLoginAddress("http://127.0.0.1:8765/home");
        QVERIFY(again.contains("&t=2009-03-05%2014%3A06%3A07&"));
        QCOMPARE(key.requests.size(), 1);
    }

    void nameIsEncodedButDigestedSanitised() {
        LocalHttp key([](const LocalRequest&) { return LocalReply(200, "x|||K|||"); });
        SignInKit kit(key.base() + "/k", "http://127.0.0.1:8765");
        kit.user("a&b=<c>", "p");
        const QString address = kit.api->SignedLoginAddress("http://127.0.0.1:8765/home");
        QVERIFY2(address.contains("&UserName=a%26b%3D%3Cc%3E&Md5Check="), qPrintable(address));
        QVERIFY(address.contains("&Md5Check=" + LoginCheckDigest("K", "a&b=<c>", "p", "2009-03-05 14:05:06") + "&"));
    }

    void blankTargetAsksForNothing_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("empty") << "";
        QTest::newRow("spaces") << "   ";
    }
    void blankTargetAsksForNothing() {
        QFETCH(QString, target);
        LocalHttp key([](const LocalRequest&) { return LocalReply(200, "x|||A|||B"); });
        SignInKit kit(key.base() + "/k", "http://127.0.0.1:8765");
        kit.user("demo", "p");
        kit.api->GoWebLogin(target);
        QCOMPARE(kit.prompt.calls.size(), 1);
        QCOMPARE(kit.prompt.calls[0].text, QString("Err.参数错误！"));
        QCOMPARE(kit.prompt.calls[0].title, QString("VantobelPlayTray"));
        QCOMPARE(kit.prompt.calls[0].icon, PromptIcon::Information);
        QVERIFY(kit.opener.opened.isEmpty());
        QVERIFY(key.requests.isEmpty());
    }

    // The demo service repeats the digest with the same code: a Chinese name and
    // secret, a Chinese key text and a target with its own query all survive the trip.
    void demoServiceAcceptsTheSignedAddress() {
        QTemporaryDir dir;
        VendorProcess service({"--users", writeUsers(dir.path()), "--key", "演示钥匙Key"});
        QVERIFY2(!service.base().isEmpty(), qPrintable(service.error()));
        SignInKit kit(service.base() + "/api/key", service.base());
        kit.user("小明妈妈", "芝麻开门2026");
        QCOMPARE(kit.api->WebApiData(), QString("演示钥匙Key"));

        const QString target = service.base() + "/home?tab=1&x=2";
        auto [status, location] = fetchOnce(kit.api->SignedLoginAddress(target));
        QCOMPARE(status, 302);
        QCOMPARE(location, target);
        // Followed as the browser would, the page arrives.
        const HttpResult page = kit.http.get(kit.api->SignedLoginAddress(target));
        QVERIFY(page.ok());
        QVERIFY(page.text().contains("家务中心"));

        // Quotes in the secret: sanitised the same way on both sides.
        kit.user("plain", "s3cret'\"");
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress(service.base() + "/home")).first, 302);

        kit.user("小明妈妈", "wrong");
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress(target)).first, 403);
        kit.user("nobody", "芝麻开门2026");
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress(target)).first, 403);
        // A good check does not make the service forward elsewhere.
        kit.user("小明妈妈", "芝麻开门2026");
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress("http://example.invalid/")).first, 403);
        // A time text changed after signing breaks the check.
        QString tampered = kit.api->SignedLoginAddress(target);
        tampered.replace("14%3A05%3A06", "14%3A05%3A07");
        QCOMPARE(fetchOnce(tampered).first, 403);
    }
};

QTEST_GUILESS_MAIN(TestSignIn)
#include "test_signin.moc"
