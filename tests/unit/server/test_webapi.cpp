// The web API client: the capped GET, the key text, MD5 and the sign-in link, one
// rule for every address.
#include "LocalHttp.h"
#include "Md5Mold.h"
#include "TestMain.h"
#include "WebAddress.h"

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

    // The key text is asked for until an answer has three fields and is not blank, then
    // kept; without one a digest is of the value alone. Each cause of failure is said
    // once, and once that the service answers again.
    void keyTextIsAskedForUntilGood_data() {
        QTest::addColumn<LocalReply>("bad");
        QTest::addColumn<QString>("cause");  // on the log; empty: nothing is said
        QTest::addColumn<QString>("digest"); // of "abc" with the bad answer's key text
        QTest::newRow("two fields") << LocalReply(200, "A|||B") << "an answer without three fields"
                                    << "3cd24fb0d6963f7d";
        QTest::newRow("four fields") << LocalReply(200, "A|||B|||C|||D") << "an answer without three fields"
                                     << "3cd24fb0d6963f7d";
        QTest::newRow("500") << LocalReply(500, "A|||B|||C") << "HTTP 500"
                             << "3cd24fb0d6963f7d";
        QTest::newRow("no answer") << LocalReply(200, "A|||B|||C", {}, true) << "no answer"
                                   << "3cd24fb0d6963f7d";
        QTest::newRow("blank") << LocalReply(200, "A||| ||| ") << ""
                               << "020fc956d0b48c9a";
    }
    void keyTextIsAskedForUntilGood() {
        QFETCH(LocalReply, bad);
        QFETCH(QString, cause);
        QFETCH(QString, digest);
        LocalHttp key({bad, bad, LocalReply(200, "|||AB|||CD")});
        ApiKit kit(key.base() + "/k");
        kit.http.setTimeoutMs(300);
        LogLines log("vantobel.net");
        QVERIFY(kit.api->WebApiData().trimmed().isEmpty());
        QCOMPARE(kit.api->ApiMd5("abc"), digest);
        QCOMPARE(kit.api->WebApiData(), QString("ABCD"));
        QCOMPARE(kit.api->ApiMd5("value"), QString("202c2571fb3f80f5")); // MD5("ABCDvalue"), cut to 16
        QCOMPARE(key.requests.size(), 3);
        QVERIFY(key.requests[0].contains("\r\nContent-Type: application/x-www-form-urlencoded"));
        QVERIFY(!key.requests[0].contains("Content-Length"));
        const QString failing = "the key service at " + key.base() + "/k fails: ";
        QCOMPARE(log.lines,
                 cause.isEmpty() ? QStringList() : QStringList({failing + cause, "the key service answers again"}));
        QVERIFY(kit.prompt.calls.isEmpty());
    }

    // One rule for every address: http and https only, characters that a strict parse
    // refuses are escaped (the address's own escapes kept), and the encoded form is
    // what goes out, to the browser and onto the wire alike.
    void oneAddressRuleForBrowserAndFetch() {
        const QString unsafe = QStringLiteral("/a b|c{d}e^f`g<h>i\"j%k%E4%B8%AD");
        const QByteArray encoded = "/a%20b%7Cc%7Bd%7De%5Ef%60g%3Ch%3Ei%22j%25k%E4%B8%AD";
        QCOMPARE(webAddress("HTTPS://h.example" + unsafe), "https://h.example" + encoded);
        for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "", "http:x",
                                    "ftp://h.example/", "http://a b.example/"})
            QVERIFY2(webAddress(refused).isEmpty(), refused);

        ApiKit kit(QString{});
        for (const QString& a :
             QStringList{"http://127.0.0.1:8765/n?b=1" + unsafe, "file:///etc/passwd", "javascript:alert(1)"})
            kit.api->OpenUrl(a);
        QCOMPARE(kit.opener.opened, QStringList({"http://127.0.0.1:8765/n?b=1" + QString::fromLatin1(encoded)}));

        // A service address with such characters is fetched, not dropped.
        LocalHttp server({LocalReply(200, "a|||b|||c")});
        ApiKit keyed(QString(server.base() + unsafe).toHtmlEscaped()); // as written in the XML file
        QCOMPARE(keyed.api->WebApiData(), QStringLiteral("bc"));
        QCOMPARE(server.target(0), encoded);
    }

    // Chinese: GBK codes sign-extended into the words, length in characters; values from an
    // independent implementation of the same rule. Outside the code page: "?" for each UTF-16 unit.
    void knownAnswers() {
        const QPair<QString, QString> answers[] = {
            {"abc", "900150983cd24fb0d6963f7d28e17f72"},
            {"中", "6cba308f8d5f2b49971dbb43879a078c"},
            {"芝麻开门2026", "49483c8519ab5f7d6b0dfc0844e8803b"},
            {QString(13, QChar(0x4E2D)) + "abc", "e8d30b45aba3862c72149c26ba708e54"},
            {"\U0001F600", "ea03fcb8c47822bce772cf6c07d0ebbb"},
            // Where code-page tables differ: the euro is 0x80, private use is in the user area
            // (AA A1), Hangul is outside the code page ("?").
            {"€", "8d39dd7eef115ea6975446ef4082951f"},
            {"\uE000", "2b41512a18219f09e575634178f4d3f3"},
            {"한", "d1457b72c3fb323a2671125aef3eab5d"},
        };
        for (const auto& [text, full] : answers) {
            QCOMPARE(MD5(text, 32), full);
            QCOMPARE(MD5(text, 16), full.mid(8, 16));
            QCOMPARE(MD5(text, 0), full.mid(8, 16));
        }
    }

    void addressShapeAndDigestChain() {
        LocalHttp key({LocalReply(200, "x|||AB|||CD")});
        ApiKit kit(key.base() + "/api/key", "http://127.0.0.1:8765");
        kit.state.ParentUser.Field[1] = "a&b";
        kit.state.ActiveUserField3 = " secret ";
        kit.api->GoWebLogin("   "); // no target: said, and nothing is fetched or opened
        QCOMPARE(kit.prompt.calls.size(), 1);
        QCOMPARE(kit.prompt.calls[0].text, QString("Err.参数错误！"));
        QVERIFY(key.requests.isEmpty() && kit.opener.opened.isEmpty());
        // MD5("ABCD" + MD5("ABCD" + "a&b" + MD5("secret")) + t), each cut to 16 digits, from an
        // independent MD5 (ASCII only, where the code page changes nothing); the secret is trimmed.
        const QString check = QStringLiteral("27ba2e547e6b6d5a");
        QCOMPARE(LoginCheckDigest("ABCD", "a&b", " secret ", "2009-03-05 14:05:06"), check);

        kit.api->GoWebLogin("http://127.0.0.1:8765/home?a=1&b=2");
        QCOMPARE(kit.opener.opened,
                 QStringList(
                     "http://127.0.0.1:8765/interface/get.asp?Stup=SoftLoginWeb&v=2&UserName=a%26b&Md5Check=" + check +
                     "&t=2009-03-05%2014%3A05%3A06&GoUrlStr=http%3A%2F%2F127.0.0.1%3A8765%2Fhome?a=1&b=2"));
        kit.clock.advanceSecs(61);
        QVERIFY(kit.api->SignedLoginAddress("http://h/").contains("&t=2009-03-05%2014%3A06%3A07&"));
        QCOMPARE(key.requests.size(), 1);
        QCOMPARE(kit.prompt.calls.size(), 1);
    }
};

VT_TEST(TestWebApi)
#include "test_webapi.moc"
