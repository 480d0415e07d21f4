#include "HistoryTable.h"
#include "HttpGet.h"
#include "LocalConn.h"
#include "LocalHttp.h"
#include "SysPublicCls.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"
#include "WebNews.h"

#include <QDir>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

namespace {
QByteArray notice(const QString& title, const QString& url, const QString& brief = "简介") {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?><Root><Notice><Title>%1</Title><Url>%2</Url>"
               "<Pic/><Brief>%3</Brief><TypeStr>公告</TypeStr><CrowdType/><Area/><TimeAxes/></Notice></Root>")
        .arg(title.toHtmlEscaped(), url.toHtmlEscaped(), brief)
        .toUtf8();
}

// A program folder with the built template database, the history on it, and the
// notice check pointed at noticeUrl.
struct NewsKit {
    TempProgramHome home;
    RecordingPrompt prompt;
    TrayState state;
    UserBabyLoginMode user{state};
    FixedClock clock;
    LocalConn conn{user, prompt, clock};
    HistoryTable history{conn};
    HttpGet http;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<WebNews> news;
    int serial = 0;
    explicit NewsKit(const QString& noticeUrl) {
        QDir().mkpath(home.path() + "/Users/All Users");
        QFile::copy(VT_PROGRAM_DIR "/Users/All Users/Info.db", home.path() + "/Users/All Users/Info.db");
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
} // namespace

class TestWebNews : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
        QVERIFY(kit.news->CheckNewNotice());
        QVERIFY(took);
        QCOMPARE(kit.field("Title"), QString("a"));
    }

    // Only a notice without both title and address means nothing new.
    void titleOrAddressAloneIsANotice() {
        LocalHttp service({LocalReply(200, notice("a", " ")), LocalReply(200, notice(" ", "http://h/b"))});
        NewsKit kit(service.base() + "/notice");
        QVERIFY(kit.news->CheckNewNotice());
        QVERIFY(kit.news->CheckNewNotice());
    }

    void nothingNewOrFailedDropsTheDocument_data() {
        QTest::addColumn<LocalReply>("reply");
        QTest::newRow("empty notice") << LocalReply(200, notice("  ", ""));
        QTest::newRow("malformed XML") << LocalReply(200, notice("a", "b").chopped(8));
        QTest::newRow("404 with a notice") << LocalReply(404, notice("a", "b"));
        QTest::newRow("never answers") << LocalReply(200, {}, {}, true);
        QTest::newRow("over 1 MiB") << LocalReply(200, notice("a", "b", QString(1024 * 1024, 'x')), {}, false, false);
    }
    void nothingNewOrFailedDropsTheDocument() {
        QFETCH(LocalReply, reply);
        LocalHttp service({reply});
        NewsKit kit(service.base() + "/notice");
        kit.http.setTimeoutMs(300);
        auto stale = std::make_unique<pugi::xml_document>();
        stale->load_string("<Root><Notice><Title>old</Title></Notice></Root>");
        kit.news->SetCurrentNoticeDoc(std::move(stale));
        QVERIFY(!kit.news->CheckNewNotice());
        QVERIFY(!kit.news->CurrentNoticeDoc());
        QCOMPARE(service.requests.size(), 1);
        QVERIFY(kit.prompt.calls.isEmpty());
    }

    // A failing notice service leaves one warning per cause (the address without its
    // query), and one when it answers again, even with nothing new.
    void failuresAreLoggedOncePerCause() {
        LocalHttp service({LocalReply(503), LocalReply(503), LocalReply(200, "<Root"), LocalReply(200, notice("", "")),
                           LocalReply(200, notice("", "")), LocalReply(404)});
        NewsKit kit(service.base() + "/notice");
        NetWarnings log;
        for (int poll = 0; poll < 6; ++poll)
            QVERIFY(!kit.news->CheckNewNotice());
        QCOMPARE(service.requests.size(), 6);
        const QString failing = "the notice service at " + service.base() + "/notice fails: ";
        QCOMPARE(log.lines, QStringList({failing + "HTTP 503", failing + "an answer that is not XML",
                                         "the notice service answers again", failing + "HTTP 404"}));
    }

    // The demo service hands each kind its notices in turn, then the empty notice.
    void demoServiceRotation() {
        QTemporaryDir dir;
        QFile file(dir.path() + "/notices.xml");
        file.open(QIODevice::WriteOnly);
        file.write(
            "<Notices><Notice kind='baby'><Title>儿歌</Title><Url>/news/one</Url><Pic>/pic/one.png</Pic></Notice>"
            "<Notice kind='user'><Title>胎教</Title><Url>/news/two</Url></Notice>"
            "<Notice kind='all'><Title>更新</Title><Url>/news/three</Url></Notice></Notices>");
        file.close();
        VendorProcess service({"--notices", file.fileName()});
        QVERIFY(!service.base().isEmpty());
        NewsKit kit(service.base() + "/notice");
        kit.state.PlayerType = "BABYPLAYER";
        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(kit.field("Url"), service.base() + "/news/one");
        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(kit.field("Title"), QString("更新"));
        QVERIFY(!kit.news->CheckNewNotice());
        kit.state.PlayerType = "ParentPlayer";
        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(kit.field("Title"), QString("胎教"));
    }

    // With --fresh-notices every poll gets a notice the history has not seen, round
    // the file's notices of the kind, and its page and picture still answer.
    void demoServiceFreshNotices() {
        QTemporaryDir dir;
        QFile file(dir.path() + "/notices.xml");
        file.open(QIODevice::WriteOnly);
        file.write("<Notices><Notice kind='user'><Title>胎教</Title><Url>/news/two</Url><Pic>/pic/two.png</Pic>"
                   "<Brief>b</Brief></Notice><Notice kind='baby'><Title>儿歌</Title><Url>/news/one</Url></Notice>"
                   "<Notice kind='all'><Title>更新</Title><Url>/news/three?x=1</Url></Notice></Notices>");
        file.close();
        VendorProcess service({"--notices", file.fileName(), "--fresh-notices"});
        QVERIFY(!service.base().isEmpty());
        NewsKit kit(service.base() + "/notice");
        QStringList seen;
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(kit.news->CheckNewNotice(), qPrintable(QString::number(i)));
            seen << kit.field("Title") + " " + kit.field("Url") + " " + kit.field("Pic");
            QVERIFY(!kit.field("TimeAxes").isEmpty());
            kit.storeCurrent();
        }
        const QString b = service.base();
        QCOMPARE(seen, QStringList({"胎教 #1 " + b + "/news/two?n=1 " + b + "/pic/two.png?n=1",
                                    "更新 #2 " + b + "/news/three?x=1&n=2 ",
                                    "胎教 #3 " + b + "/news/two?n=3 " + b + "/pic/two.png?n=3",
                                    "更新 #4 " + b + "/news/three?x=1&n=4 "}));
        HttpGet http;
        QCOMPARE(http.get(b + "/pic/two.png?n=3").status, 200);
        QVERIFY(http.get(b + "/news/two?n=3").text().contains("胎教"));

        // A kind without notices of its own still gets the empty notice.
        QFile babyOnly(dir.path() + "/baby.xml");
        babyOnly.open(QIODevice::WriteOnly);
        babyOnly.write("<Notices><Notice kind='baby'><Title>儿歌</Title><Url>/news/one</Url></Notice></Notices>");
        babyOnly.close();
        VendorProcess babies({"--notices", babyOnly.fileName(), "--fresh-notices"});
        NewsKit parent(babies.base() + "/notice");
        QVERIFY(!parent.news->CheckNewNotice());
        QVERIFY(parent.field("Title").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWebNews)
#include "test_webnews.moc"
