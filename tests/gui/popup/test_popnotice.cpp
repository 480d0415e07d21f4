// The notice pop-up: its markup, what it records, when it goes away and how it moves.

#include "../../unit/server/LocalHttp.h"
#include "Notice.h"
#include "NoticeFields.h"
#include "NoticeMarkup.h"
#include "PopNotice.h"
#include "TestMain.h"
#include "ToolTitleBar.h"
#include "WindowTestKit.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QImageReader>
#include <QLabel>
#include <QPointer>
#include <QtTest>

#include <pugixml.hpp>

namespace {

// A notice of the given kind (none when empty) as the tests mostly use it.
Notice notice(const QString& type = QStringLiteral("公告")) {
    return {QStringLiteral("本周育儿小贴士"), QStringLiteral("http://notice.example/n/7"), QString(),
            QStringLiteral("宝宝睡前听一首儿歌。"), type};
}

struct PopKit : WindowKit {
    int messageBoxShown = 0;

    PopKit() { random.push(0.5f); } // every random digit is 5

    // Made from the poll's XML, as the program makes it.
    PopNotice* open(const Notice& n = notice()) {
        pugi::xml_document doc;
        pugi::xml_node notice = doc.append_child("Root").append_child("Notice");
        const QList<QPair<const char*, QString>> fields{
            {"Title", n.title}, {"Url", n.url}, {"Pic", n.picture}, {"Brief", n.brief}, {"TypeStr", n.type}};
        for (const auto& [name, value] : fields)
            notice.append_child(name).text().set(value.toUtf8().constData());
        const auto historyLink = [this] { ++messageBoxShown; };
        const auto screen = [] { return QRect(0, 0, 1280, 800); };
        return new PopNotice({settings, history, utils, urls, clock, &pictures, historyLink, screen},
                             noticeFromDocument(doc));
    }
    QPointer<PopNotice> shown(const Notice& n = notice()) {
        QPointer<PopNotice> pop = open(n);
        pop->show();
        QTest::qWait(20);
        flushDeletes();
        return pop;
    }
    void set(const QString& key, const QString& value) {
        sqlOn(db(), QStringLiteral("insert or replace into SoftSettings values('%1','%2')").arg(key, value));
    }
    QString status() const { return one("select group_concat(Status) from HistoryNews"); }
};

QByteArray png(const QImage& image = QImage(8, 8, QImage::Format_RGB32)) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "PNG");
    return bytes;
}

// Answers every connection with a picture's head and then a byte every 50 ms: never
// silent, never done. Counts the connections it was asked on.
class DripServer : public QTcpServer {
public:
    DripServer() {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                ++served;
                s->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 100000\r\n\r\n");
                connect(&m_drip, &QTimer::timeout, s, [s] { s->write("x"); });
            }
        });
        m_drip.start(50);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    int served = 0;

private:
    QTimer m_drip;
};

QList<qint64> iconKeys(const PopNotice& pop) {
    QList<qint64> keys;
    for (const QLabel* label : pop.findChildren<QLabel*>())
        if (!label->pixmap().isNull())
            keys << label->pixmap().cacheKey();
    return keys;
}

} // namespace

class TestPopNotice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadShowsAndRecordsTheNotice() {
        PopKit kit;
        Notice n{QStringLiteral("  It's <b>new</b> and longer than nineteen  "),
                 QStringLiteral("http://notice.example/?q='1'"), QStringLiteral("  "),
                 QStringLiteral("it's\rsecond ") + QString(300, QChar(u'长')), QStringLiteral("O'Type")};
        std::unique_ptr<PopNotice> pop(kit.open(n));
        const QString safeTitle = SysPublicCls::SafeRequest(n.title, 1, 0);
        QCOMPARE(pop->findChild<ToolTitleBar*>()->caption(), QStringLiteral("O'Type"));
        QCOMPARE(pop->titleText(), safeTitle.left(17) + "...");
        QCOMPARE(pop->noticeSNo(), QStringLiteral("5509030514050655555"));
        QVERIFY(pop->pageHtml().contains(QStringLiteral("it's<BR>second ") + QString(300, QChar(u'长'))));
        QVERIFY(!pop->pageHtml().contains("<img")); // a blank picture is none
        QCOMPARE(NoticeMarkup::ColorToHtmlHex(QColor(0x12, 0xAB, 0x0C)), QStringLiteral("12AB0C"));
        const QString row = kit.one("select TypeStr||'|'||Title||'|'||UrlStr||'|'||Brief||'|'||AddTime||'|'||SNo||"
                                    "'|'||Status from HistoryNews");
        QCOMPARE(row, QStringList(
                          {"O'Type", safeTitle, n.url, n.brief.left(200), "2009-03-05 14:05:06", pop->noticeSNo(), "0"})
                          .join('|'));

        // A title of 19 shown whole; a brief of a megabyte shown cut, not laid out whole.
        Notice plain = notice({});
        plain.title = QString(19, QChar(u'题'));
        plain.brief = QString(NoticeFields::kBrief, 'b') + QString(1'000'000, QChar(u'尾'));
        kit.random.push(0.1f);
        std::unique_ptr<PopNotice> other(kit.open(plain));
        QVERIFY(other->findChild<ToolTitleBar*>()->caption() == QStringLiteral("系统消息！") &&
                other->titleText() == plain.title);
        QVERIFY(other->pageHtml().contains(QString(NoticeFields::kBrief, 'b')));
        QVERIFY(!other->pageHtml().contains(QChar(u'尾')));
        // Every pop-up shows the very same icon pixmaps: drawn anew for each, they would
        // stay in Qt's pixmap cache (keyed by the pixmap), growing it at every notice.
        QCOMPARE(iconKeys(*other).size(), 2);
        QCOMPARE(iconKeys(*other), iconKeys(*pop));
    }

    // Whatever runs a loop of its own while a pop-up loads (a message box did, once)
    // must not let the pop-up's timers close and delete it under the load.
    void nestedLoopDuringTheLoad() {
        qputenv("VANTOBEL_TRAY_TICK_MS", "1"); // an other notice closes itself after 60 ms
        const auto restore = qScopeGuard([] { qunsetenv("VANTOBEL_TRAY_TICK_MS"); });
        bool loading = false;
        int spunWhileLoading = 0;
        bool deletedWhileLoading = false;
        const auto spin = [&] {
            QList<QPointer<QWidget>> pops;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<PopNotice*>(w) != nullptr)
                    pops << w;
            QEventLoop loop;
            QTimer::singleShot(600, &loop, &QEventLoop::quit);
            loop.exec();
            if (!loading)
                return;
            ++spunWhileLoading;
            for (const QPointer<QWidget>& p : pops)
                deletedWhileLoading = deletedWhileLoading || p.isNull();
        };

        // The store cannot be made: its box waits until the pop-up is whole.
        {
            PopKit kit;
            QVERIFY(QFile::remove(kit.templatePath()) && QFile::remove(kit.db()));
            kit.prompt.hook = spin;
            loading = true;
            QPointer<PopNotice> pop = kit.open(notice({}));
            loading = false;
            QVERIFY(spunWhileLoading == 0 && pop);
            QTRY_COMPARE(kit.prompt.calls.size(), 1);
            QCOMPARE(kit.prompt.calls[0].text, LocalConn::missingTemplateMessage());
            QTRY_VERIFY(pop.isNull()); // and it still closes itself in time
        }
        // A loop already waiting runs inside the load (the settings read lets events through).
        {
            PopKit kit;
            QTimer::singleShot(0, spin);
            loading = true;
            QPointer<PopNotice> pop = kit.open(notice({}));
            loading = false;
            QCOMPARE(spunWhileLoading, 1);
            QVERIFY(!deletedWhileLoading && pop);
            QCOMPARE(kit.status(), QStringLiteral("0"));
            QTRY_VERIFY(pop.isNull());
        }
    }

    // At rest the move timer stops; the user's close starts it again and the window sinks away.
    void restingPopUpIsStill() {
        PopKit kit;
        QPointer<PopNotice> pop = kit.open();
        pop->show();
        QTRY_VERIFY_WITH_TIMEOUT(!pop->isMoving(), 10000);
        const qint64 rest = pop->topTwips();
        QVERIFY(rest < pop->screenHeightTwips() - pop->windowHeightTwips());
        QTest::qWait(60);
        QVERIFY(!pop->isMoving() && !pop->isCounting()); // an announcement closes by itself only when set to
        QCOMPARE(pop->topTwips(), rest);
        // The close button of its own title bar closes as the window manager's would.
        QTest::mouseClick(pop->findChild<TitleCloseButton*>(), Qt::LeftButton);
        QVERIFY(pop->isMoving() && pop->isVisible() && pop->isTopmost()); // on top while it sinks
        QCOMPARE(pop->slideState(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(pop.isNull(), 10000);
        QCOMPARE(kit.status(), QStringLiteral("0")); // sinking away is not reading
    }

    // The show keys close a pop-up at its activation, do-not-disturb at a later one too;
    // either way the notice stays stored, unread.
    void activationMayCloseButTheRowStays() {
        const struct {
            QString key, value, type;
            bool closes;
        } cases[] = {
            {"PopShow_SysNotice", "0", "公告", true},                               // announcements off
            {"popshow_sysadv", "0", "广告", true},                                  // key in another case
            {"PopShow_SysBrightsproutNotice", " 0", "Brightsprout培养计划", false}, // not exactly 0
            {"PopShow_SysNotice", "0", "其他", false},                              // other kinds always show
            {"AllMessagePeaceful", "1", "其他", true},                              // set while it is up
        };
        for (const auto& c : cases) {
            PopKit kit;
            const bool later = c.key == "AllMessagePeaceful";
            if (!later)
                kit.set(c.key, c.value);
            QPointer<PopNotice> pop = kit.shown(notice(c.type));
            if (later && pop) {
                kit.set(c.key, c.value);
                pop->activationCheck();
                flushDeletes();
            }
            QVERIFY2(pop.isNull() == c.closes, qPrintable(c.key + c.type));
            QCOMPARE(kit.status(), QStringLiteral("0"));
            delete pop;
        }
    }

    void closeRulesByType() {
        const struct {
            QString type, suffix, autoClose, minutes;
            int sinksAfter; // 0: not within 40000 seconds, past a 16-bit count
        } cases[] = {
            {"Brightsprout培养计划", "SysBrightsproutNotice", "1", "3.9", 180},
            {"公告", "SysNotice", "1", "2", 120},
            {"广告", "SysAdv", "0", "1", 0},
            {"广告", "SysAdv", "1", "abc", 60},
            {"其他", "SysNotice", "0", "9", 60},
        };
        for (const auto& c : cases) {
            PopKit kit;
            // The other kinds' keys say something else: close after one minute, or never.
            for (const QString& suffix : QStringList{"SysNotice", "SysAdv", "SysBrightsproutNotice"}) {
                const bool own = suffix == c.suffix;
                kit.set("PopAutoClose_" + suffix, own ? c.autoClose : (c.autoClose == "1" ? "0" : "1"));
                kit.set("PopAutoCloseTime_" + suffix, own ? c.minutes : "1");
            }
            std::unique_ptr<PopNotice> pop(kit.open(notice(c.type)));
            // Only a window that closes by itself counts its seconds.
            QCOMPARE(pop->isCounting(), c.sinksAfter != 0);
            const int quiet = c.sinksAfter == 0 ? 40000 : c.sinksAfter - 1;
            for (int i = 0; i < quiet; ++i)
                pop->countTick();
            QCOMPARE(pop->slideState(), 1);
            if (c.sinksAfter != 0) {
                pop->countTick();
                QVERIFY(pop->slideState() == 2 && !pop->isTopmost());
            }
        }
    }

    // The title and the brief's link open the notice, mark it read and close the pop-up:
    // a quote in the address cannot end the href early (the row keeps the address as
    // received). "查看详细" on an address that is no web address reads it, opens nothing.
    void clicks() {
        PopKit kit;
        Notice n = notice();
        n.url = QStringLiteral("http://notice.example/a\" href=\"http://evil.example/");
        QPointer<PopNotice> pop = kit.shown(n);
        QTest::mouseClick(pop->findChild<QLabel*>("Label2"), Qt::RightButton);
        QTest::mouseClick(pop->findChild<QLabel*>("Label2"), Qt::LeftButton); // "历史消息"
        QCOMPARE(kit.messageBoxShown, 1);
        QVERIFY(pop->isVisible() && kit.urls.opened.isEmpty());
        QTest::mouseClick(pop->findChild<QLabel*>("Title"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(pop.isNull());
        QCOMPARE(kit.status(), QStringLiteral("1"));

        kit.random.push(0.2f);
        pop = kit.shown(n);
        QVERIFY(!clickFirstLink(pop->findChild<NoticeBrowser*>()).isEmpty());
        flushDeletes();
        QVERIFY(pop.isNull());
        QCOMPARE(kit.urls.opened, QStringList(2, "http://notice.example/a%22%20href=%22http://evil.example/"));
        QCOMPARE(kit.one("select group_concat(distinct UrlStr) from HistoryNews"), n.url);

        kit.random.push(0.3f);
        n.url = QStringLiteral("file:///etc/passwd");
        pop = kit.shown(n);
        QTest::mouseClick(pop->findChild<QLabel*>("Label1"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(pop.isNull());
        QCOMPARE(kit.urls.opened.size(), 2);
        QCOMPARE(kit.status(), QStringLiteral("1,1,1"));
    }

    // The rise stops at its margin in 30-twip steps; a window manager that holds the
    // window higher than asked (a title bar kept on the screen) has it rise on from
    // where it shows, while a frame measured a pixel off, a window shown above its
    // resting place and a sinking window keep their own place.
    void riseStopsAtItsMarginInThirtyTwipSteps() {
        const qint64 screenH = 12000, windowH = 3270, target = screenH - windowH - 430;
        PopMotion motion;
        motion.start(19200, screenH, 4680);
        QVERIFY(motion.leftTw() == 19200 - 4680 && motion.topTw() == screenH);
        for (qint64 last = screenH; motion.tick(screenH, windowH) == PopMotion::Step::Moved; last = motion.topTw())
            QCOMPARE(last - motion.topTw(), 30);
        QVERIFY(motion.topTw() <= target && motion.topTw() > target - 30);
        QCOMPARE(motion.tick(screenH, windowH), PopMotion::Step::Still); // stays at rest
        // At rest the user's move holds: put higher it stays, put lower it rises again.
        motion.followShown(target - 600, screenH, windowH);
        QCOMPARE(motion.tick(screenH, windowH), PopMotion::Step::Still);
        QCOMPARE(motion.topTw(), target - 600);
        motion.followShown(target + 600, screenH, windowH);
        QCOMPARE(motion.tick(screenH, windowH), PopMotion::Step::Moved);
        QCOMPARE(motion.topTw(), target + 570);
        motion.sink();
        while (motion.tick(screenH, windowH) == PopMotion::Step::Moved)
            ;
        QVERIFY(motion.topTw() >= screenH);

        PopMotion held;
        held.start(19200, screenH, 4680);
        held.followShown(screenH - 300, screenH, windowH);
        QCOMPARE(held.tick(screenH, windowH), PopMotion::Step::Moved);
        QCOMPARE(held.topTw(), screenH - 330);
        held.followShown(screenH - 345, screenH, windowH);
        held.followShown(target - 30, screenH, windowH);
        QCOMPARE(held.topTw(), screenH - 330);
        held.sink();
        held.followShown(screenH - 1000, screenH, windowH);
        QCOMPARE(held.topTw(), screenH - 330);
    }

    // The page shows a picture only when our own fetch brought it over http(s). A plain
    // path, in <Pic> or in an <img> of the brief, is never read: a red picture there
    // does not show, and a FIFO there is never opened (that would block for good). The
    // message box shows its entries in the same view.
    void pageReadsNothingFromDisk() {
        PopKit kit;
        LocalBait bait;
        QVERIFY(bait.ready());
        Notice n = notice();
        n.picture = bait.redPath();
        n.brief = bait.images() + "text";
        QPointer<PopNotice> local = kit.shown(n);
        QVERIFY(!hasColour(local->grab().toImage(), Qt::red) && kit.pictures.asked.isEmpty());
        QCOMPARE(bait.fifoOpened(), 0);
        delete local;

        kit.pictures.answer = QImage(100, 100, QImage::Format_RGB32);
        kit.pictures.answer.fill(Qt::red);
        n.picture = QStringLiteral("http://pic.example/a b.png");
        // Every form of image name, drawn at scale 1 and 2: at 2 Qt looks on disk for
        // "<name>@2x.<ext>" unless the name lives in its in-memory resource tree.
        n.brief = QStringLiteral("<img src=\"rel.png\"><img src='/tmp/x.jpg'><img><img src=\"http://h/p.gif\">"
                                 "<img src=\"file:///tmp/y.png\"><img src=\":/icons/z.png\">text");
        kit.random.push(0.1f);
        std::unique_ptr<PopNotice> web(kit.shown(n));
        // Asked once, encoded, to be decoded at the size it is shown.
        QCOMPARE(kit.pictures.asked, (QList<std::pair<QString, QSize>>{{"http://pic.example/a%20b.png", {100, 100}}}));
        auto* view = web->findChild<NoticeBrowser*>();
        for (const qreal scale : {1.0, 2.0}) {
            QImage drawn(view->viewport()->size() * scale, QImage::Format_RGB32);
            drawn.setDevicePixelRatio(scale);
            view->viewport()->render(&drawn);
            QVERIFY(hasColour(drawn, Qt::red)); // the fetched picture still finds its way
            QStringList names;
            for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
                for (auto it = block.begin(); !it.atEnd(); ++it)
                    if (it.fragment().charFormat().isImageFormat())
                        names << it.fragment().charFormat().toImageFormat().name();
            QCOMPARE(names.size(), 7);
            QVERIFY(std::ranges::all_of(names, [](const QString& name) { return name.startsWith(":/"); }));
        }
    }

    // A tag that belongs in a page's head hides nothing of the brief: the text after it
    // shows; a closed one goes with its content.
    void headTagsHideNothing() {
        const std::pair<const char*, const char*> rows[] = {
            {"a<link rel=\"stylesheet\" href=\"x.css\">b", "ab"},
            {"a< LINK\nhref=x>b", "ab"},        // any case, spaced
            {"a<\"link\">b", "ab"},             // a quoted name
            {"a<l&#105;nk>b", "ab"},            // a character reference
            {"a<meta content=\"x>y\">b", "ab"}, // a '>' inside quotes
            {"a<head>b</head>c", "abc"},
            {"a<title>b", "ab"},
            {"a<style>b", "ab"},
            {"a<!-- <script> -->b<script>c</script>d", "abd"}, // not read inside a comment
            {"<links>a</links><b>b</b>", "ab"},                // other names stay
        };
        PopKit kit;
        for (const auto& [brief, shown] : rows) {
            Notice n = notice();
            n.brief = QString::fromUtf8(brief);
            const std::unique_ptr<PopNotice> pop(kit.open(n));
            QCOMPARE(pop->findChild<NoticeBrowser*>()->toPlainText().trimmed(), QString::fromUtf8(shown));
        }
    }

    // A picture is decoded no larger than it is shown, and one over the pixel cap not at all.
    void picturesAreDecodedToTheShownSize() {
        QImage large(3000, 2000, QImage::Format_RGB32);
        large.fill(Qt::red);
        const QImage shown = NoticePicture::decode(png(large), QSize(200, 200));
        QCOMPARE(shown.size(), QSize(200, 200));
        QCOMPARE(QColor(shown.pixel(100, 100)), QColor(Qt::red));
        QCOMPARE(NoticePicture::decode(png(large.copy(0, 0, 40, 30)), QSize(200, 200)).size(), QSize(40, 30));
        // 1 bit a pixel: small to make, yet over the cap in pixels. The cap holds
        // whatever Qt's own limit (which the environment can raise) says.
        QImage bomb(5800, 5800, QImage::Format_Mono);
        bomb.fill(0);
        const int qtLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        const QImage refused = NoticePicture::decode(png(bomb), QSize(200, 200));
        QImageReader::setAllocationLimit(qtLimit);
        QVERIFY(refused.isNull() && NoticePicture::decode("not a picture", QSize(200, 200)).isNull());
    }

    // Only http(s) is fetched; an endless picture is cut at the size cap within bounded
    // memory, never shown. A picture that drips is cut at its whole deadline (it never
    // falls silent), only two load at once, and the picture after the slow ones still comes.
    void picturesAreCappedAndCut() {
        LocalBait bait;
        EndlessHttp endless(png());
        LocalHttp http({LocalReply(200, png())});
        NetworkPictureSource source;
        source.setDeadlineMs(20000);
        QObject context;
        QList<QImage> got;
        const auto keep = [&](const QImage& image) { got << image; };
        MemoryRise rise;
        source.fetch("file://" + bait.redPath(), {}, &context, keep);
        source.fetch(endless.base() + "/endless.png", {}, &context, keep);
        source.fetch(http.base() + "/good.png", {}, &context, keep);
        endless.busyOnceFlowing(500);
        QTRY_COMPARE_WITH_TIMEOUT(endless.hungUp(), 1, 20000);
        QTest::qWait(300);
        QCOMPARE(got.size(), 1);
        QVERIFY(rise.megabytes() < 32 && bait.ready());

        DripServer drip;
        source.setDeadlineMs(1000);
        for (int i = 0; i < 4; ++i)
            source.fetch(drip.base() + "/slow.png", {}, &context, keep);
        source.fetch(http.base() + "/good.png", {}, &context, keep);
        QTest::qWait(300);
        QCOMPARE(drip.served, NetworkPictureSource::kMaxRunning);
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), 2, 20000);
        QCOMPARE(drip.served, 4);
    }
};

VT_TEST(TestPopNotice)
#include "test_popnotice.moc"
