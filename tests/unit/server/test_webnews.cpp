#include "../store/StoreTestKit.h"
#include "HistoryTable.h"
#include "LocalHttp.h"
#include "SysPublicCls.h"
#include "TestMain.h"
#include "WebNews.h"

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
        QVERIFY(kit.news->CheckNewNotice());
        QVERIFY(took);
        QCOMPARE(kit.field("Title"), QString("a"));
    }

    // Nothing new, or a failing service, drops the document held so far. Each cause of
    // failure is said once (the address without its query), and once when the service
    // answers again, even with nothing new.
    void nothingNewOrFailedDropsTheDocument() {
        LocalHttp service({LocalReply(503), LocalReply(503), LocalReply(200, "<Root"),
                           LocalReply(200, notice("  ", "")), LocalReply(200, notice("", "")),
                           LocalReply(404, notice("a", "b")), LocalReply(200, {}, {}, true),
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

VT_TEST(TestWebNews)
#include "test_webnews.moc"
