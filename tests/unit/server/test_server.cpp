// The server link: Settings.xml and the XML reader, the capped GET, the key text, MD5
// and the sign-in link (one rule for every address), and the notice check.
#include "../store/StoreTestKit.h"
#include "HistoryTable.h"
#include "LocalHttp.h"
#include "Md5Mold.h"
#include "SysPublicCls.h"
#include "TestMain.h"
#include "WebAddress.h"
#include "WebNews.h"

#include <QTest>
#include <QTimer>
#include <sqlite3.h>

namespace {
const QByteArray kMiB(1024 * 1024, 'x');

QByteArray notice(const QString& title, const QString& url, const QString& brief = "简介") {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?><Root><Notice><Title>%1</Title><Url>%2</Url>"
               "<Pic/><Brief>%3</Brief><TypeStr>公告</TypeStr><CrowdType/><Area/><TimeAxes/></Notice></Root>")
        .arg(title.toHtmlEscaped(), url.toHtmlEscaped(), brief)
        .toUtf8();
}

// The store's program folder, the history on it, and the notice check pointed at noticeUrl.
struct NewsKit : StoreKit {
    HistoryTable history{conn};
    HttpGet http;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<WebNews> news;
    int serial = 0;
    explicit NewsKit(const QString& noticeUrl) {
        state.PlayerType = "ParentPlayer";
        settings = settingsFor(prompt, home.path(), {}, {}, noticeUrl);
        news = std::make_unique<WebNews>(*settings, http, history, state);
    }
    QString field(const char* name) const {
        return NodeValue(news->CurrentNoticeDoc(), "text", QStringLiteral("/Root/Notice/") + name);
    }
    // What the pop-up does with the notice it shows.
    void storeCurrent() {
        QVERIFY(history.StoreNotice(field("TypeStr"), SysPublicCls::SafeRequest(field("Title"), 1, 0), field("Url"),
                                    field("Brief"), clock.now(), QString::number(++serial)));
    }
};
QByteArray readData(const char* name) {
    return readFile(QStringLiteral(VT_TEST_DATA_DIR "/server/") + name);
}
// The program folder's Settings.xml holding bytes (none when empty), loaded.
struct Loaded {
    TempProgramHome home;
    RecordingPrompt prompt;
    Settings s{prompt};
    explicit Loaded(const QByteArray& bytes) {
        if (!bytes.isEmpty())
            writeFile(home.path() + "/Bin/Settings.xml", bytes);
        s.LoadSettings();
    }
};
} // namespace

class TestServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The reader's text and attribute rules are checked over the XML replay corpus.
    void lookups() {
        Loaded l("\xEF\xBB\xBF" + readData("settings-good.xml"));
        const Settings& s = l.s;
        QCOMPARE(s.SettingValue("url", "/Root/Server/WebApi"), QString("http://127.0.0.1:1/api"));
        QVERIFY(s.SettingValue("xml", "/Root/Server/MyHomeManage")
                    .startsWith("<MyHomeManage url=\"http://127.0.0.1:1/home\">首页<b>说明</b>"));
        QCOMPARE(s.SettingValue("url", "/Root/[["), QString());
        QVERIFY(l.prompt.calls.isEmpty());

        const QList<pugi::xml_node> list = s.SelectNodes("/Root/SoftBrothers/SoftList");
        QCOMPARE(list.size(), 3);
        QCOMPARE(QStringList({NodeItemValue(list[0], "Caption"), NodeItemValue(list[1], "Caption"),
                              NodeItemValue(list[1], "v"), NodeItemValue(list[2], "t")}),
                 QStringList({"Brightsprout识字卡片", "故事屋", "", "Diary"}));
    }

    // A notice arrives from the network; a deeply nested one must not run the reader out of stack.
    void deepNestingReadsItsText() {
        constexpr int depth = 400000;
        QByteArray xml = "<Root><Notice><Title>";
        xml += QByteArray("<a>").repeated(depth) + "x" + QByteArray("</a>").repeated(depth) + "y";
        xml += "</Title></Notice></Root>";
        pugi::xml_document doc;
        QVERIFY(ParseXmlDocument(doc, xml));
        QCOMPARE(NodeValue(&doc, "text", "/Root/Notice/Title"), QString("xy"));
    }

    // The declaration's encoding is honoured, as an XML document object does; a mark or
    // UTF-16 without one decides before it. Only a whole encoding attribute inside the
    // declaration counts; without one the text is read as UTF-8.
    void documentsDecodeAsTheyDeclare() {
        const auto declared = [](const QByteArray& declaration, const QByteArray& text) -> QByteArray {
            return "<?xml version='1.0'" + declaration + "?><Root><Notice><Title>" + text + "</Title></Notice></Root>";
        };
        const QString asUtf8(2, QChar::ReplacementCharacter); // what GBK "中" is as UTF-8
        const QString utf16 = "<?xml version='1.0' encoding='gbk'?><Root><Notice><Title>中</Title></Notice></Root>";
        // "丂" (81 40) is in GBK but not in strict GB2312, and the labels mean GBK in practice.
        const std::pair<QByteArray, QString> cases[] = {
            {declared(" encoding='gb2312' ", "\xD6\xD0\xCE\xC4\x81\x40"), "中文丂"},
            {declared(" encoding='GB18030'", "\xD6\xD0\x95\x32\x82\x36"), "中\U00020000"},
            {declared(" encoding='big5'", "\xA4\xA4\xA4\xE5"), "中文"},
            {declared(" encoding='utf-8'", "中文"), "中文"},
            {declared(" encoding='x-no-such'", "a"), "failed"},
            {declared(" xencoding='big5' encoding = \"gbk\"", "\xD6\xD0"), "中"},
            {declared(" encoding='gbk\"", "\xD6\xD0"), asUtf8},
            {declared("><x encoding='gbk'", "\xD6\xD0"), asUtf8},
            {"<?xmlencoding='gbk'?><Root><Notice><Title>\xD6\xD0</Title></Notice></Root>", asUtf8},
            {QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2), "中"},
            {"\xEF\xBB\xBF" + declared(" encoding='gbk'", "中"), "中"},
        };
        for (const auto& [bytes, title] : cases) {
            pugi::xml_document doc;
            QCOMPARE(ParseXmlDocument(doc, bytes) ? NodeValue(&doc, "text", "/Root/Notice/Title") : QString("failed"),
                     title);
        }
        // Settings.xml goes through the same reader.
        const Loaded gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><Root><SoftBrothers><SoftList "
                         "Caption=\"\xB6\xF9\xB8\xE8\"/></SoftBrothers></Root>");
        QCOMPARE(gbk.s.SettingValue("Caption", "/Root/SoftBrothers/SoftList"), QString("儿歌"));
    }

    void brokenFileWarnsOnceAndEverythingIsEmpty_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray();
        // The part before the fault parses; none of it may survive.
        QTest::newRow("cut off") << readData("settings-good.xml").left(400);
        QTest::newRow("two roots") << QByteArray("<Root><Server><WebApi url=\"x\"/></Server></Root><Root/>");
    }
    void brokenFileWarnsOnceAndEverythingIsEmpty() {
        QFETCH(QByteArray, content);
        Loaded l(content);
        QCOMPARE(l.s.SettingValue("url", "/Root/Server/WebApi"), QString());
        QVERIFY(l.s.SelectNodes("/Root/SoftBrothers/SoftList").isEmpty());
        QCOMPARE(l.prompt.calls.size(), 1); // once, not again for each lookup
        QCOMPARE(l.prompt.calls[0].text, QString("Err.SysSettings"));
    }

    // The GET under the key text and the notices: redirects, statuses, cap, time-out.
    void capturedGet() {
        LocalHttp server({LocalReply(302, "", "Location: /final\r\n"), LocalReply(200, kMiB), LocalReply(404, "no"),
                          LocalReply(302, "", "Location: file:///etc/hostname\r\n"),
                          LocalReply(200, kMiB + "x", {}, false, false), LocalReply(0, {}, {}, true)});
        HttpGet http;
        QCOMPARE(http.get(server.base() + "/moved").body, kMiB); // exactly the cap, after a redirect
        const HttpResult missing = http.get(server.base());
        QVERIFY(missing.readyState == 4 && missing.status == 404 && !missing.ok());
        QVERIFY(!http.get(server.base()).ok()); // no redirect to a file
        QVERIFY(!http.get(server.base()).ok()); // one byte over the cap, length not announced
        for (const char* address : {"file:///etc/hostname", "ftp://127.0.0.1/x", "", "127.0.0.1/x"})
            QCOMPARE(http.get(address).readyState, 0);
        QCOMPARE(server.requests.size(), 5);
        http.setTimeoutMs(300); // that timers go on meanwhile, documentTakenDuringTheWait shows
        QVERIFY(http.get(server.base()).readyState != 4);
    }

    // Leaving the wait early (the program quitting while a body still arrives) is no
    // complete answer, even though the status line came.
    void unfinishedAnswerFailsWhenTheWaitEnds() {
        LocalHttp server({LocalReply(200, "A|||B|||C", "Content-Length: 100\r\n", true, false)});
        HttpResult result;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
            result = HttpGet().get(server.base());
        });
        QCoreApplication::exec();
        QVERIFY(!result.ok() && result.body.isEmpty());
    }

    // The key text is asked for until an answer has three fields and is not blank, then
    // kept; without one a digest is of the value alone. Each cause of failure is said
    // once, and once that the service answers again.
    void keyTextIsAskedForUntilGood_data() {
        QTest::addColumn<LocalReply>("bad");
        QTest::addColumn<QString>("cause");  // on the log; empty: nothing is said
        QTest::addColumn<QString>("digest"); // of "abc" with the bad answer's key text
        const QString fields = "an answer without three fields";
        const QString plain = "3cd24fb0d6963f7d"; // MD5("abc")
        QTest::newRow("two fields") << LocalReply(200, "A|||B") << fields << plain;
        QTest::newRow("four fields") << LocalReply(200, "A|||B|||C|||D") << fields << plain;
        QTest::newRow("500") << LocalReply(500, "A|||B|||C") << "HTTP 500" << plain;
        QTest::newRow("no answer") << LocalReply(0, {}, {}, true) << "no answer" << plain;
        QTest::newRow("blank") << LocalReply(200, "A||| ||| ") << QString() << "020fc956d0b48c9a";
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
        for (const auto& [text, full] : answers)
            QCOMPARE(MD5(text, 32), full); // the short form is checked over the MD5 replay corpus
    }

    void addressShapeAndDigestChain() {
        LocalHttp key({LocalReply(200, "x|||AB|||CD")});
        ApiKit kit(key.base() + "/api/key", "http://127.0.0.1:8765");
        kit.state.ParentUser.Field[1] = "a&b";
        kit.state.ActiveUserField3 = " secret ";
        kit.api->GoWebLogin("   "); // no target: said, and nothing is fetched or opened
        QCOMPARE(kit.prompt.calls.value(0).text, QString("Err.参数错误！")); // the only one, as the end shows
        QVERIFY(key.requests.isEmpty() && kit.opener.opened.isEmpty());
        // MD5("ABCD" + MD5("ABCD" + "a&b" + MD5("secret")) + t), each cut to 16 digits, from an
        // independent MD5 (ASCII only, where the code page changes nothing); the secret is trimmed.
        const QString check = QStringLiteral("27ba2e547e6b6d5a");

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

    void newUntilStoredThenSeen() {
        LocalHttp service({LocalReply(200, notice("Spring <Songs> = new", "http://h/n/1"))});
        NewsKit kit(service.base() + "/notice");
        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(service.target(0), QByteArray("/notice?TypeStr=user&TimeAxes="));
        QCOMPARE(kit.field("Title"), QString("Spring <Songs> = new"));
        QVERIFY(kit.news->CheckNewNotice()); // not shown yet, so still new
        kit.storeCurrent();                  // stored under its sanitised title
        QVERIFY(!kit.news->CheckNewNotice());
        QVERIFY(kit.news->CurrentNoticeDoc()); // a seen notice keeps its document
        // ASCII letter case does not make a notice new; another title or address does.
        service.replies = {LocalReply(200, notice("SPRING <songs> = NEW", "HTTP://H/N/1"))};
        QVERIFY(!kit.news->CheckNewNotice());
        service.replies = {LocalReply(200, notice("Spring <Songs> = new", "http://h/n/2"))};
        QVERIFY(kit.news->CheckNewNotice());
        // Only a notice without both title and address means nothing new.
        for (const QByteArray& alone : {notice("a", " "), notice(" ", "http://h/b")}) {
            service.replies = {LocalReply(200, alone)};
            QVERIFY(kit.news->CheckNewNotice());
        }
    }

    // A history that cannot be read (another program holds it) is no proof of a new notice.
    void lockedHistoryWaitsForTheNextPoll() {
        LocalHttp service({LocalReply(200, notice("a", "http://h/a")), LocalReply(200, notice("a", "http://h/a"))});
        NewsKit kit(service.base() + "/notice");
        QVERIFY(kit.conn.Execute("select 1")); // the user's database
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(kit.conn.databasePath()).constData(), &other), SQLITE_OK);
        sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr);
        QVERIFY(!kit.news->CheckNewNotice());
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(kit.news->CheckNewNotice());
    }

    // The wait for the answer runs other handlers; one may take the document meanwhile.
    void documentTakenDuringTheWait() {
        LocalHttp service({LocalReply(200, notice("a", "http://h/a"))});
        NewsKit kit(service.base() + "/notice");
        bool took = false;
        QTimer::singleShot(0, [&] { took = kit.news->TakeCurrentNoticeDoc() != nullptr; });
        QVERIFY(kit.news->CheckNewNotice() && took);
        QCOMPARE(kit.field("Title"), QString("a"));
    }

    // Nothing new, or a failing service, drops the document held so far. Each cause of
    // failure is said once (the address without its query), and once when the service
    // answers again, even with nothing new.
    void nothingNewOrFailedDropsTheDocument() {
        LocalHttp service({LocalReply(503), LocalReply(503), LocalReply(200, "<Root"),
                           LocalReply(200, notice("  ", "")), LocalReply(200, notice("", "")),
                           LocalReply(404, notice("a", "b")), LocalReply(0, {}, {}, true),
                           LocalReply(200, notice("a", "b", QString(1024 * 1024, 'x')), {}, false, false)});
        NewsKit kit(service.base() + "/notice");
        kit.http.setTimeoutMs(300);
        LogLines log("vantobel.net");
        for (int poll = 0; poll < 8; ++poll) {
            auto stale = std::make_unique<pugi::xml_document>();
            stale->load_string("<Root><Notice><Title>old</Title></Notice></Root>");
            kit.news->SetCurrentNoticeDoc(std::move(stale));
            QVERIFY(!kit.news->CheckNewNotice());
            QVERIFY2(!kit.news->CurrentNoticeDoc(), qPrintable(QString::number(poll)));
        }
        QCOMPARE(service.requests.size(), 8);
        QVERIFY(kit.prompt.calls.isEmpty());
        const QString failing = "the notice service at " + service.base() + "/notice fails: ";
        QCOMPARE(log.lines,
                 QStringList({failing + "HTTP 503", failing + "an answer that is not XML",
                              "the notice service answers again", failing + "HTTP 404", failing + "no answer"}));
    }
};

VT_TEST(TestServer)
#include "test_server.moc"
