#include "HistoryTable.h"
#include "HttpGet.h"
#include "LocalConn.h"
#include "LocalHttp.h"
#include "ServerTestKit.h"
#include "SysPublicCls.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"
#include "VendorProcess.h"
#include "WebNews.h"

#include <QDir>
#include <QTcpServer>
#include <QTest>

namespace {
QByteArray noticeXml(const QString& title, const QString& url, const QString& brief = "简介") {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><Root><Notice><Title>%1</Title><Url>%2</Url>"
                          "<Pic></Pic><Brief>%3</Brief><TypeStr>公告</TypeStr><CrowdType/><Area/>"
                          "<TimeAxes>2026-03-01</TimeAxes></Notice></Root>")
        .arg(title.toHtmlEscaped(), url.toHtmlEscaped(), brief.toHtmlEscaped())
        .toUtf8();
}

// A program folder with the built template database, the store on it, and the
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
    explicit NewsKit(const QString& noticeUrl) {
        QDir().mkpath(home.path() + "/Users/All Users");
        QFile::copy(VT_PROGRAM_DIR "/Users/All Users/Info.db", home.path() + "/Users/All Users/Info.db");
        state.PlayerType = "ParentPlayer";
        state.ParentUser.Field[1] = "mum";
        settings = settingsFor(prompt, home.path(), {{}, {}, noticeUrl});
        news = std::make_unique<WebNews>(*settings, http, history, state);
    }
    QString docText(const char* path) const {
        return NodeValue(news->CurrentNoticeDoc(), "text", QString::fromLatin1(path));
    }
    // What the pop-up does with a shown notice.
    void storeCurrent() {
        QVERIFY(history.StoreNotice(
            docText("/Root/Notice/TypeStr"), SysPublicCls::SafeRequest(docText("/Root/Notice/Title"), 1, 0),
            docText("/Root/Notice/Url"), docText("/Root/Notice/Brief"), clock.now(), QString::number(++serial)));
    }
    int serial = 0;
};

// Answers the queued replies in turn, the last one repeating.
struct NoticeService {
    QList<LocalReply> replies;
    qsizetype next = 0;
    LocalHttp http{[this](const LocalRequest&) { return replies.at(qMin(next++, replies.size() - 1)); }};
    QString url() const { return http.base() + "/notice"; }
};
} // namespace

class TestWebNews : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestCarriesKindAndEmptyTimeAxes() {
        NoticeService service;
        service.replies = {LocalReply(200, noticeXml("", ""))};
        NewsKit kit(service.url());
        QCOMPARE(kit.news->RequestAddress(), service.url() + "?TypeStr=user&TimeAxes=");
        kit.news->CheckNewNotice();
        kit.state.PlayerType = "BABYPLAYER";
        kit.news->CheckNewNotice();
        kit.state.PlayerType.clear();
        kit.news->CheckNewNotice();
        QCOMPARE(service.http.requests.size(), 3);
        QCOMPARE(service.http.requests[0].target, QByteArray("/notice?TypeStr=user&TimeAxes="));
        QCOMPARE(service.http.requests[1].target, QByteArray("/notice?TypeStr=baby&TimeAxes="));
        QCOMPARE(service.http.requests[2].target, QByteArray("/notice?TypeStr=user&TimeAxes="));
    }

    void newThenSeen() {
        NoticeService service;
        service.replies = {LocalReply(200, noticeXml("Spring <Songs> = new", "http://127.0.0.1:1/n/1"))};
        NewsKit kit(service.url());
        QVERIFY(kit.news->CheckNewNotice());
        QVERIFY(kit.news->CurrentNoticeDoc());
        QCOMPARE(kit.docText("/Root/Notice/Title"), QString("Spring <Songs> = new"));
        QCOMPARE(kit.docText("/Root/Notice/TypeStr"), QString("公告"));
        // Not shown yet: still new at the next poll.
        QVERIFY(kit.news->CheckNewNotice());
        kit.storeCurrent();
        // Stored under its sanitised title, so the same notice is now seen...
        QVERIFY(!kit.news->CheckNewNotice());
        QVERIFY(kit.news->CurrentNoticeDoc()); // ...and its document stays, unread by anyone
        // ...also when only the ASCII letter case of title or address differs.
        service.replies = {LocalReply(200, noticeXml("SPRING <songs> = NEW", "HTTP://127.0.0.1:1/N/1"))};
        QVERIFY(!kit.news->CheckNewNotice());
        service.replies = {LocalReply(200, noticeXml("Spring <Songs> = new", "http://127.0.0.1:1/n/2"))};
        QVERIFY(kit.news->CheckNewNotice());
        service.replies = {LocalReply(200, noticeXml("Spring <Songs> = newer", "http://127.0.0.1:1/n/1"))};
        QVERIFY(kit.news->CheckNewNotice());
    }

    void halfEmptyNoticesAreStillChecked() {
        NoticeService service;
        service.replies = {LocalReply(200, noticeXml("只有标题", ""))};
        NewsKit kit(service.url());
        QVERIFY(kit.news->CheckNewNotice());
        kit.storeCurrent();
        QVERIFY(!kit.news->CheckNewNotice());
        service.replies = {LocalReply(200, noticeXml("", "http://127.0.0.1:1/only-address"))};
        QVERIFY(kit.news->CheckNewNotice());
        kit.storeCurrent();
        QVERIFY(!kit.news->CheckNewNotice());
    }

    void nothingNewOrFailedLeavesNoDocument_data() {
        QTest::addColumn<LocalReply>("reply");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("empty notice") << LocalReply(200, noticeXml("", "")) << 30000;
        QTest::newRow("blank notice") << LocalReply(200, noticeXml("   ", "  ")) << 30000;
        QTest::newRow("no notice element") << LocalReply(200, "<Root/>") << 30000;
        QTest::newRow("malformed XML") << LocalReply(200, noticeXml("a", "b").chopped(8)) << 30000;
        QTest::newRow("not XML") << LocalReply(200, "Title=a") << 30000;
        QTest::newRow("404 with a notice body") << LocalReply(404, noticeXml("a", "b")) << 30000;
        QTest::newRow("500") << LocalReply(500, noticeXml("a", "b")) << 30000;
        QTest::newRow("never answers") << LocalReply(200, {}, {}, true) << 300;
        QTest::newRow("over 1 MiB") << LocalReply(200, noticeXml("a", "b", QString(1024 * 1024, 'x'))) << 30000;
        QTest::newRow("over 1 MiB unannounced")
            << LocalReply(200, noticeXml("a", "b", QString(1024 * 1024, 'x')), {}, false, false) << 30000;
    }
    void nothingNewOrFailedLeavesNoDocument() {
        QFETCH(LocalReply, reply);
        QFETCH(int, timeoutMs);
        NoticeService service;
        service.replies = {reply};
        NewsKit kit(service.url());
        kit.http.setTimeoutMs(timeoutMs);
        // A document from an earlier poll must not survive a failed one.
        auto stale = std::make_unique<pugi::xml_document>();
        stale->load_string("<Root><Notice><Title>old</Title></Notice></Root>");
        kit.news->SetCurrentNoticeDoc(std::move(stale));
        QVERIFY(!kit.news->CheckNewNotice());
        QVERIFY(!kit.news->CurrentNoticeDoc());
        QCOMPARE(service.http.requests.size(), 1);
        QVERIFY(kit.prompt.calls.isEmpty());
    }

    void unreachableOrUnconfiguredService() {
        quint16 port = 0;
        {
            QTcpServer s;
            s.listen(QHostAddress::LocalHost, 0);
            port = s.serverPort();
        }
        NewsKit dead(QStringLiteral("http://127.0.0.1:%1/notice").arg(port));
        QVERIFY(!dead.news->CheckNewNotice());
        QVERIFY(!dead.news->CurrentNoticeDoc());
        NewsKit none(QString{});
        QCOMPARE(none.news->RequestAddress(), QString("?TypeStr=user&TimeAxes="));
        QVERIFY(!none.news->CheckNewNotice());
        QVERIFY(!none.news->CurrentNoticeDoc());
    }

    // The demo service hands each kind its notices in turn, then the empty notice.
    void demoServiceRotation() {
        QTemporaryDir dir;
        QFile notices(dir.path() + "/notices.xml");
        notices.open(QIODevice::WriteOnly);
        notices.write(R"(<Notices>
  <Notice kind="baby"><Title>儿歌一</Title><Url>/news/one</Url><Pic>/pic/one.png</Pic><TypeStr>公告</TypeStr></Notice>
  <Notice kind="user"><Title>胎教</Title><Url>/news/two</Url></Notice>
  <Notice kind="all"><Title>更新</Title><Url>/news/three</Url></Notice>
</Notices>)");
        notices.close();
        VendorProcess service({"--notices", notices.fileName()});
        QVERIFY2(!service.base().isEmpty(), qPrintable(service.error()));
        NewsKit kit(service.base() + "/notice");
        kit.state.PlayerType = "BabyPlayer";

        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(kit.docText("/Root/Notice/Title"), QString("儿歌一"));
        QCOMPARE(kit.docText("/Root/Notice/Url"), service.base() + "/news/one");
        const QString pic = kit.docText("/Root/Notice/Pic");
        QCOMPARE(pic, service.base() + "/pic/one.png");
        const HttpResult picture = kit.http.get(pic);
        QVERIFY(picture.ok());
        QVERIFY(picture.body.startsWith("\x89PNG"));
        const HttpResult page = kit.http.get(kit.docText("/Root/Notice/Url"));
        QVERIFY(page.ok() && page.text().contains("儿歌一"));
        kit.storeCurrent();

        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(kit.docText("/Root/Notice/Title"), QString("更新"));
        QVERIFY(!kit.news->CheckNewNotice());
        QVERIFY(!kit.news->CurrentNoticeDoc());

        kit.state.PlayerType = "ParentPlayer";
        QVERIFY(kit.news->CheckNewNotice());
        QCOMPARE(kit.docText("/Root/Notice/Title"), QString("胎教"));
    }
};

QTEST_GUILESS_MAIN(TestWebNews)
#include "test_webnews.moc"
