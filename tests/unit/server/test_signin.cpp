#include "LocalHttp.h"
#include "Md5Mold.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

namespace {

// The status of one GET that does not follow redirects, and its Location.
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
} // namespace

class TestSignIn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Backslashes, quotes and line breaks are plain characters, never script syntax.
    void urlEncode() {
        const QPair<QString, QString> cases[] = {
            {"2009/3/5 14:05:06", "2009%2F3%2F5%2014%3A05%3A06"},
            {";,?:@&=+$-_.!~*'()#", ";,?%3A@&=%2B$-_.!~*'()#"},
            {"中\U0001F600", "%E4%B8%AD%F0%9F%98%80"},
            {"a\\n\"<>%\r\n", "a%5Cn%22%3C%3E%25%0D%0A"},
            {QString(QChar(0xD800)) + "a", ""}, // a lone surrogate
        };
        for (const auto& [value, encoded] : cases)
            QCOMPARE(UrlEncode(value), encoded);
    }

    void addressShapeAndDigestChain() {
        LocalHttp key({LocalReply(200, "x|||AB|||CD")});
        ApiKit kit(key.base() + "/api/key", "http://127.0.0.1:8765");
        kit.user("a&b", " secret ");
        const QString t = "2009-03-05 14:05:06";
        // The secret and name are digested after SafeRequest (trimmed here).
        const QString check = MD5("ABCD" + MD5("ABCD" + QString("a&b") + MD5("secret", 16), 16) + t, 16);
        QCOMPARE(LoginCheckDigest("ABCD", "a&b", " secret ", t), check);

        kit.api->GoWebLogin("http://127.0.0.1:8765/home?a=1&b=2");
        QCOMPARE(kit.opener.opened,
                 QStringList(
                     "http://127.0.0.1:8765/interface/get.asp?Stup=SoftLoginWeb&v=2&UserName=a%26b&Md5Check=" + check +
                     "&t=2009-03-05%2014%3A05%3A06&GoUrlStr=http%3A%2F%2F127.0.0.1%3A8765%2Fhome?a=1&b=2"));
        kit.clock.advanceSecs(61);
        QVERIFY(kit.api->SignedLoginAddress("http://h/").contains("&t=2009-03-05%2014%3A06%3A07&"));
        QCOMPARE(key.requests.size(), 1);
        QVERIFY(kit.prompt.calls.isEmpty());
    }

    void blankTarget() {
        LocalHttp key({LocalReply(200, "x|||A|||B")});
        ApiKit kit(key.base() + "/k", "http://127.0.0.1:8765");
        kit.api->GoWebLogin("   ");
        QCOMPARE(kit.prompt.calls.size(), 1);
        QCOMPARE(kit.prompt.calls[0].text, QString("Err.参数错误！"));
        QVERIFY(kit.opener.opened.isEmpty());
        QVERIFY(key.requests.isEmpty());
    }

    // The demo service repeats the check: a Chinese name, secret and key text and a
    // target with its own query survive the trip.
    void demoServiceAcceptsTheSignedAddress() {
        QTemporaryDir dir;
        QFile users(dir.path() + "/users.txt");
        users.open(QIODevice::WriteOnly);
        users.write("# name secret\n小明妈妈\t芝麻开门2026\nplain  s3cret'\"\n");
        users.close();
        VendorProcess service({"--users", users.fileName(), "--key", "演示钥匙Key"});
        QVERIFY(!service.base().isEmpty());
        ApiKit kit(service.base() + "/api/key", service.base());
        kit.user("小明妈妈", "芝麻开门2026");
        const QString target = service.base() + "/home?tab=1&x=2";
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress(target)), std::make_pair(302, target));
        QString tampered = kit.api->SignedLoginAddress(target);
        QCOMPARE(fetchOnce(tampered.replace("%3A05%3A06", "%3A05%3A07")).first, 403);
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress("http://h.example/")).first, 403); // no open redirect

        kit.user("plain", "s3cret'\""); // quotes sanitised alike on both sides
        QCOMPARE(fetchOnce(kit.api->SignedLoginAddress(target)).first, 302);
    }
};

QTEST_GUILESS_MAIN(TestSignIn)
#include "test_signin.moc"
