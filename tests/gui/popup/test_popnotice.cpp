// The notice pop-up: its markup, what it records, when it goes away and how it moves.

#include "NoticeMarkup.h"
#include "NoticePicture.h"
#include "PopNotice.h"
#include "PopRules.h"
#include "WindowTestKit.h"

#include <QLabel>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

namespace {

struct NoticeText {
    QString title = QStringLiteral("本周育儿小贴士");
    QString url = QStringLiteral("http://notice.example/n/7");
    QString pic;
    QString brief = QStringLiteral("宝宝睡前听一首儿歌。");
    QString type = QStringLiteral("公告");
};

std::unique_ptr<pugi::xml_document> noticeDoc(const NoticeText& n) {
    auto doc = std::make_unique<pugi::xml_document>();
    pugi::xml_node notice = doc->append_child("Root").append_child("Notice");
    const auto add = [&](const char* name, const QString& value) {
        notice.append_child(name).text().set(value.toUtf8().constData());
    };
    add("Title", n.title);
    add("Url", n.url);
    add("Pic", n.pic);
    add("Brief", n.brief);
    if (!n.type.isNull())
        add("TypeStr", n.type);
    return doc;
}

class FakePictures : public NoticePictureSource {
public:
    void fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) override {
        asked << address;
        if (!answer.isNull())
            QTimer::singleShot(0, context, [done, image = answer] { done(image); });
    }
    QStringList asked;
    QImage answer;
};

struct PopKit : WindowKit {
    FakePictures pictures;
    int messageBoxShown = 0;

    PopKit() { random.push(0.5f); } // every random digit is 5

    PopNotice* open(const NoticeText& n = {}) {
        PopNoticeDeps deps{settings,
                           history,
                           utils,
                           urls,
                           clock,
                           &pictures,
                           [this] { ++messageBoxShown; },
                           [] { return QRect(0, 0, 1280, 800); }};
        return new PopNotice(deps, noticeDoc(n));
    }
    void set(const QString& key, const QString& value) {
        sqlOn(db(), QStringLiteral("insert or replace into SoftSettings values('%1','%2')").arg(key, value));
    }
};

} // namespace

class TestPopNotice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void colourAndTitleRules() {
        QCOMPARE(NoticeMarkup::ColorToHtmlHex(QColor(0, 0, 0)), QStringLiteral("000000"));
        QCOMPARE(NoticeMarkup::ColorToHtmlHex(QColor(224, 224, 224)), QStringLiteral("E0E0E0"));
        QCOMPARE(NoticeMarkup::ColorToHtmlHex(QColor(255, 0, 0)), QStringLiteral("FF0000"));
        QCOMPARE(NoticeMarkup::ColorToHtmlHex(QColor(0x12, 0xAB, 0x0C)), QStringLiteral("12AB0C"));

        const QString nineteen = QStringLiteral("一二三四五六七八九十abcdefghi");
        QCOMPARE(nineteen.size(), 19);
        QCOMPARE(NoticeMarkup::DisplayTitle(nineteen), nineteen);
        QCOMPARE(NoticeMarkup::DisplayTitle(nineteen + "j"), nineteen.left(17) + "...");
        QCOMPARE(NoticeMarkup::DisplayTitle(QString()), QString());
    }

    void fragmentAndPageMarkup() {
        const QString plain =
            NoticeMarkup::NoticeFragment("0A0B0C", "http://n.example/1", "", QStringLiteral("简介\r下一行"));
        QCOMPARE(plain,
                 QStringLiteral("<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">   <tr>       "
                                "<td style=\"font-size:12px;text-align:Left;line-height:150%;word-wrap:break-word;\">"
                                "<a style=\"TEXT-DECORATION: none;color:#0A0B0C;\" target=\"_blank\" "
                                "href=\"http://n.example/1\" >简介\r下一行</a></td>   </tr></table>"));
        // A blank (spaces only) picture counts as none.
        QCOMPARE(NoticeMarkup::NoticeFragment("0A0B0C", "http://n.example/1", "   ", QStringLiteral("简介\r下一行")),
                 plain);

        const QString withPicture =
            NoticeMarkup::NoticeFragment("000000", "http://n.example/1", "http://p.example/a.png", "Brief");
        QVERIFY(withPicture.contains(QStringLiteral(
            "href=\"http://n.example/1\" ><img border=\"0\" src=\"http://p.example/a.png\" width=\"100\" "
            "height=\"100\" align=\"left\" style=\"margin:8px 10px 0px 0px;\">Brief</a></td>")));

        QCOMPARE(NoticeMarkup::NoticePage("E3E3E3"),
                 QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                                "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
                                "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><style type=\"text/css\">"
                                "a{hide-focus: expression(this.hideFocus=true);outline: none;}</style></head>"
                                "<body style=\"BACKGROUND:#E3E3E3;font-size:12px;text-align:Left;margin:0px 15px;"
                                "padding:0px;\"></body>"));
        QCOMPARE(NoticeMarkup::WithBody("<body x></body>", "<p>1</p>"), QStringLiteral("<body x><p>1</p></body>"));
    }

    void loadShowsAndRecordsTheNotice() {
        PopKit kit;
        NoticeText n;
        n.type = QStringLiteral("O'Type");
        n.title = QStringLiteral("  It's <b>new</b>  ");
        n.url = QStringLiteral("http://notice.example/?q='1'");
        n.brief = QStringLiteral("it's\rsecond ") + QString(300, QChar(u'长'));
        QPointer<PopNotice> pop = kit.open(n);

        QCOMPARE(pop->windowTitle(), QStringLiteral("O'Type"));
        QCOMPARE(pop->noticeSNo(), QStringLiteral("55090305140506") + QStringLiteral("55555"));
        // The shown title went through SafeRequest: no apostrophe, no markup.
        const QString shown = pop->titleText();
        QVERIFY(!shown.contains('\'') && !shown.contains('<'));
        // The whole brief is on the page, its carriage return as <BR>.
        QVERIFY(pop->pageHtml().contains(QStringLiteral("it's<BR>second ") + QString(300, QChar(u'长'))));

        QCOMPARE(kit.one("select count(*) from HistoryNews"), QStringLiteral("1"));
        QCOMPARE(kit.one("select TypeStr from HistoryNews"), QStringLiteral("O'Type"));
        QCOMPARE(kit.one("select UrlStr from HistoryNews"), n.url);
        QCOMPARE(kit.one("select Title from HistoryNews"),
                 SysPublicCls::SafeRequest(n.title, 1, 0)); // stored whole, not cut to 19
        QCOMPARE(kit.one("select Brief from HistoryNews"), n.brief.left(200));
        QCOMPARE(kit.one("select SNo from HistoryNews"), pop->noticeSNo());
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("0"));
        QCOMPARE(kit.one("select AddTime from HistoryNews"), QStringLiteral("2009-03-05 14:05:06"));
        delete pop;
    }

    void typeDecidesCaptionAndTitleIsCut() {
        PopKit kit;
        NoticeText n;
        n.type = QString();
        n.title = QStringLiteral("一二三四五六七八九十一二三四五六七八九十");
        QPointer<PopNotice> pop = kit.open(n);
        QCOMPARE(pop->windowTitle(), QStringLiteral("系统消息！"));
        QCOMPARE(pop->noticeType(), QString());
        QCOMPARE(pop->titleText(), n.title.left(17) + "...");
        QCOMPARE(kit.one("select Title from HistoryNews"), n.title);
        QVERIFY(pop->isTopmost());
        delete pop;
    }

    void activationClosesButKeepsTheRow_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("closes");
        QTest::newRow("do not disturb") << "AllMessagePeaceful"
                                        << "1"
                                        << "公告" << true;
        QTest::newRow("pop-ups allowed") << "AllMessagePeaceful"
                                         << "0"
                                         << "公告" << false;
        QTest::newRow("announcements off") << "PopShow_SysNotice"
                                           << "0"
                                           << "公告" << true;
        QTest::newRow("show key in other case") << "popshow_sysadv"
                                                << "0"
                                                << "广告" << true;
        QTest::newRow("brightsprout off") << "PopShow_SysBrightsproutNotice"
                                          << "0"
                                          << "Brightsprout培养计划" << true;
        QTest::newRow("show key not exactly 0") << "PopShow_SysAdv"
                                                << " 0"
                                                << "广告" << false;
        QTest::newRow("other kinds ignore show keys") << "PopShow_SysNotice"
                                                      << "0"
                                                      << "其他" << false;
        QTest::newRow("no settings") << "Unrelated"
                                     << "0"
                                     << "公告" << false;
    }
    void activationClosesButKeepsTheRow() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, type);
        QFETCH(bool, closes);
        PopKit kit;
        kit.set(key, value);
        NoticeText n;
        n.type = type;
        QPointer<PopNotice> pop = kit.open(n);
        pop->show();
        QTest::qWait(20);
        flushDeletes();
        QCOMPARE(pop.isNull(), closes);
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("0"));
        delete pop;
    }

    void doNotDisturbIsReadAgainOnEveryActivation() {
        PopKit kit;
        QPointer<PopNotice> pop = kit.open();
        pop->show();
        QTest::qWait(20);
        QVERIFY(!pop.isNull());
        // Show keys were read once at load; a later change does not reach the window.
        kit.set("PopShow_SysNotice", "0");
        pop->activationCheck();
        flushDeletes();
        QVERIFY(!pop.isNull());
        kit.set("AllMessagePeaceful", "1");
        pop->activationCheck();
        flushDeletes();
        QVERIFY(pop.isNull());
    }

    void risesAndRestsNearItsTarget() {
        PopKit kit;
        QPointer<PopNotice> pop = kit.open();
        const qint64 screenH = 800 * 15;
        QCOMPARE(pop->topTwips(), screenH);
        QCOMPARE(pop->x() + pop->frameGeometry().width(), 1280);
        const qint64 target = screenH - pop->windowHeightTwips() - 430;
        int ticks = 0;
        while (ticks < 10000) {
            const qint64 before = pop->topTwips();
            pop->moveTick();
            if (pop->topTwips() == before)
                break;
            ++ticks;
        }
        QVERIFY(pop->topTwips() <= target);
        QVERIFY(pop->topTwips() > target - 30);
        QCOMPARE(ticks, int((pop->windowHeightTwips() + 430 + 29) / 30));
        QCOMPARE(pop->y(), int(pop->topTwips() / 15));
        pop->moveTick();
        QVERIFY(pop->topTwips() <= target && pop->topTwips() > target - 30);
        delete pop;
    }

    void userCloseSinksAwayFirst() {
        PopKit kit;
        QPointer<PopNotice> pop = kit.open();
        pop->show();
        QTest::qWait(20);
        for (int i = 0; i < 5; ++i)
            pop->moveTick();
        QVERIFY(!pop->close());
        QVERIFY(pop->isVisible());
        QCOMPARE(pop->slideState(), 2);
        QVERIFY(pop->isTopmost());
        for (int i = 0; i < 1000 && !pop.isNull(); ++i) {
            pop->moveTick();
            flushDeletes();
        }
        QVERIFY(pop.isNull());
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("0"));
    }

    void closeRulesByType_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("autoClose");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<int>("sinksAfter"); // 0: never within an hour
        QTest::newRow("announcement, 2 minutes") << "公告"
                                                 << "1"
                                                 << "2" << 120;
        QTest::newRow("advertisement, 1 minute") << "广告"
                                                 << "1"
                                                 << "1" << 60;
        QTest::newRow("brightsprout, 3 minutes") << "Brightsprout培养计划"
                                                 << "1"
                                                 << "3.9" << 180;
        QTest::newRow("advertisement stays") << "广告"
                                             << "0"
                                             << "1" << 0;
        QTest::newRow("close key missing") << "公告"
                                           << ""
                                           << "5" << 0;
        QTest::newRow("zero minutes falls back to 60 s") << "公告"
                                                         << "1"
                                                         << "0" << 60;
        QTest::newRow("empty time falls back") << "广告"
                                               << "1"
                                               << "" << 60;
        QTest::newRow("not a number falls back") << "Brightsprout培养计划"
                                                 << "1"
                                                 << "abc" << 60;
        QTest::newRow("other type, 60 s") << "其他"
                                          << "0"
                                          << "9" << 60;
        QTest::newRow("no type, 60 s") << ""
                                       << ""
                                       << "" << 60;
    }
    void closeRulesByType() {
        QFETCH(QString, type);
        QFETCH(QString, autoClose);
        QFETCH(QString, minutes);
        QFETCH(int, sinksAfter);
        PopKit kit;
        for (const QString& suffix : QStringList{"SysNotice", "SysAdv", "SysBrightsproutNotice"}) {
            if (!autoClose.isEmpty())
                kit.set("PopAutoClose_" + suffix, autoClose);
            kit.set("PopAutoCloseTime_" + suffix, minutes);
        }
        NoticeText n;
        n.type = type;
        QPointer<PopNotice> pop = kit.open(n);
        const int last = sinksAfter == 0 ? 3600 : sinksAfter - 1;
        for (int i = 0; i < last; ++i)
            pop->countTick();
        QCOMPARE(pop->slideState(), 1);
        QVERIFY(pop->isTopmost());
        if (sinksAfter != 0) {
            pop->countTick();
            QCOMPARE(pop->slideState(), 2);
            QVERIFY(!pop->isTopmost());
        }
        delete pop;
    }

    void shownSecondsCountPastSixteenBits() {
        PopKit kit;
        kit.set("PopAutoClose_SysAdv", "0");
        NoticeText n;
        n.type = QStringLiteral("广告");
        QPointer<PopNotice> pop = kit.open(n);
        for (int i = 0; i < 40000; ++i)
            pop->countTick();
        QCOMPARE(pop->shownSeconds(), qint64(40000));
        QCOMPARE(pop->slideState(), 1);
        delete pop;
        PopRules::PopSettings hundred{{"PopAutoClose_SysNotice", "1"}, {"PopAutoCloseTime_SysNotice", "100"}};
        QVERIFY(PopRules::autoCloseDue("公告", hundred, 36000));
        QVERIFY(!PopRules::autoCloseDue("公告", hundred, 36001));
    }

    void clicksOpenMarkAndClose() {
        PopKit kit;
        QPointer<PopNotice> pop = kit.open();
        pop->show();
        QTest::qWait(20);
        auto* history = pop->findChild<QLabel*>("Label2");
        QTest::mouseClick(history, Qt::LeftButton);
        QCOMPARE(kit.messageBoxShown, 1);
        QVERIFY(pop->isVisible());
        QVERIFY(kit.urls.opened.isEmpty());

        QTest::mouseClick(pop->findChild<QLabel*>("Title"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(pop.isNull());
        QCOMPARE(kit.urls.opened, QStringList{"http://notice.example/n/7"});
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("1"));

        // "查看详细" behaves like the title.
        kit.random.push(0.1f);
        QPointer<PopNotice> second = kit.open();
        second->show();
        QTest::qWait(20);
        QTest::mouseClick(second->findChild<QLabel*>("Label1"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(second.isNull());
        QCOMPARE(kit.one("select count(*) from HistoryNews where Status=1"), QStringLiteral("2"));
    }

    void browserLinkIsANewWindowRequest() {
        PopKit kit;
        NoticeText n;
        n.url = QStringLiteral("https://notice.example/a b?x=1");
        QPointer<PopNotice> pop = kit.open(n);
        pop->show();
        QTest::qWait(20);
        auto* browser = pop->findChild<NoticeBrowser*>("NoticeBrowser");
        QCOMPARE(browser->contextMenuPolicy(), Qt::NoContextMenu);
        Q_EMIT browser->anchorClicked(QUrl(n.url));
        flushDeletes();
        QVERIFY(pop.isNull());
        // The browser gets a valid address; the space is encoded.
        QCOMPARE(kit.urls.opened, QStringList{"https://notice.example/a%20b?x=1"});
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("1"));
    }

    void onlyWebAddressesAreOpened() {
        PopKit kit;
        NoticeText n;
        n.url = QStringLiteral("file:///etc/passwd");
        QPointer<PopNotice> pop = kit.open(n);
        pop->show();
        QTest::qWait(20);
        QTest::mouseClick(pop->findChild<QLabel*>("Title"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(pop.isNull());
        QVERIFY(kit.urls.opened.isEmpty());
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("1"));
    }

    void pictureIsFetchedByUsAndOnlyFromTheWeb() {
        PopKit kit;
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        kit.pictures.answer = picture;
        NoticeText n;
        n.pic = QStringLiteral("http://pic.example/p.png");
        QPointer<PopNotice> pop = kit.open(n);
        auto* browser = pop->findChild<NoticeBrowser*>("NoticeBrowser");
        QCOMPARE(kit.pictures.asked, QStringList{n.pic});
        QVERIFY(pop->pageHtml().contains("<img border=\"0\" src=\"http://pic.example/p.png\""));
        QTRY_VERIFY(!browser->document()->resource(QTextDocument::ImageResource, QUrl(n.pic)).isNull());

        // A local picture is neither fetched nor read from disk by the browser.
        QTemporaryDir dir;
        const QString local = dir.path() + "/p.png";
        QVERIFY(picture.save(local));
        PopKit other;
        other.pictures.answer = picture;
        n.pic = QUrl::fromLocalFile(local).toString();
        QPointer<PopNotice> second = other.open(n);
        QVERIFY(other.pictures.asked.isEmpty());
        auto* secondBrowser = second->findChild<NoticeBrowser*>("NoticeBrowser");
        QVERIFY(secondBrowser->document()->resource(QTextDocument::ImageResource, QUrl(n.pic)).isNull());
        delete pop;
        delete second;
    }

    void countIntervalFollowsTheEnvironment() {
        PopKit kit;
        qputenv("VANTOBEL_TRAY_TICK_MS", "50");
        QPointer<PopNotice> fast = kit.open();
        qunsetenv("VANTOBEL_TRAY_TICK_MS");
        QCOMPARE(fast->countIntervalMs(), 50);
        kit.random.push(0.2f);
        QPointer<PopNotice> normal = kit.open();
        QCOMPARE(normal->countIntervalMs(), 1000);
        delete fast;
        delete normal;
    }
};

QTEST_MAIN(TestPopNotice)
#include "test_popnotice.moc"
