// The message box: its page markup, paging, unread marks and read marking.

#include "HistoryMarkup.h"
#include "MessageBox.h"
#include "WindowTestKit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

struct BoxKit : WindowKit {
    int paints = 0;
    QList<QWidget*> mainWindows;

    MessageBox* open() {
        MessageBoxDeps deps{history, urls, prompt, [this] { ++paints; }, [this](QWidget* w) { mainWindows << w; }};
        return new MessageBox(deps);
    }
    // n notices, one second apart, titles "N1".."Nn" (the last is the newest).
    void store(int n, const QString& url = QStringLiteral("http://n.example/")) {
        for (int i = 1; i <= n; ++i) {
            clock.advanceSecs(1);
            history.StoreNotice(QStringLiteral("公告"), QStringLiteral("N%1").arg(i), url + QString::number(i),
                                QStringLiteral("brief %1").arg(i), clock.now(), QStringLiteral("S%1").arg(i));
        }
    }
};

int entries(const QString& html) {
    return int(html.count(QStringLiteral("<div class=\"dtitle\">")));
}

HistoryRow row(qint64 id, const QString& title, int status, const QString& photo = {}) {
    HistoryRow r;
    r.Id = id;
    r.TypeStr = QStringLiteral("公告");
    r.Title = title;
    r.UrlStr = QStringLiteral("http://n.example/x");
    r.AddTime = QStringLiteral("2009-03-05 14:05:06");
    r.Status = status;
    r.PhotoPath = photo;
    r.Brief = QStringLiteral("简介");
    return r;
}

void click(MessageBox* box, const char* name) {
    QTest::mouseClick(box->findChild<QPushButton*>(name), Qt::LeftButton);
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryMarkup() {
        QCOMPARE(HistoryMarkup::Entry(row(7, "标题", 0), "msgdl"),
                 QStringLiteral(
                     "<div class=\"msgdl\">       <div class=\"dtitle\"><a style=\"TEXT-DECORATION: none;color:#3568BB;"
                     "font-weight:bold;float:left;\" target=\"_blank\" href=\"http://n.example/x\">标题  2009-03-05 "
                     "14:05:06 　<font id=\"N7\">(New)</font></a><span style=\"float:right;color:#666\">　公告</span>"
                     "</div>       <div class=\"dbody\">           <table border=\"0\" width=\"100%\" "
                     "cellspacing=\"0\" cellpadding=\"0\">                <tr>                <td style=\"font-size:"
                     "12px;text-align:Left;line-height:150%;word-wrap:break-word;\"><a style=\"TEXT-DECORATION: none;"
                     "color:#000000;\" target=\"_blank\" href=\"http://n.example/x\" >简介...</a></td>                "
                     "</tr>            </table>        </div></div>"));
        const QString read = HistoryMarkup::Entry(row(7, "标题", 1, "http://p.example/1.png"), "msgdw");
        QVERIFY(!read.contains("(New)"));
        QVERIFY(
            read.contains("href=\"http://n.example/x\" ><img border=\"0\" src=\"http://p.example/1.png\" "
                          "width=\"100\" height=\"100\" align=\"left\" style=\"margin:8px 10px 0px 0px;\">简介..."));
    }

    void blankTitlesAreSkippedWithoutShiftingTheAlternation() {
        const QString list =
            HistoryMarkup::EntryList({row(1, "A", 1), row(2, "  ", 1), row(3, "B", 1), row(4, "C", 1)});
        QCOMPARE(entries(list), 3);
        const qsizetype a = list.indexOf("<div class=\"msgdl\">");
        const qsizetype b = list.indexOf("<div class=\"msgdw\">");
        const qsizetype c = list.lastIndexOf("<div class=\"msgdl\">");
        QVERIFY(a >= 0 && a < b && b < c);
        QVERIFY(list.indexOf(">A  ") < b && list.indexOf(">B  ") > b && list.indexOf(">C  ") > c);

        const QString empty = HistoryMarkup::PageDocument(QString());
        QVERIFY(empty.endsWith("padding:0px;\"></body>"));
        QVERIFY(HistoryMarkup::PageDocument("x\ry").contains("padding:0px;\">x<BR>y</body>"));
        QVERIFY(HistoryMarkup::PageDocument("undefined").endsWith("padding:0px;\"></body>"));
    }

    void pageIndexRounding() {
        bool ok = false;
        QCOMPARE(HistoryMarkup::PageIndex("0", &ok), qint64(-1));
        QVERIFY(ok);
        QCOMPARE(HistoryMarkup::PageIndex("2.5", &ok), qint64(1));
        QCOMPARE(HistoryMarkup::PageIndex("3.5", &ok), qint64(3));
        QCOMPARE(HistoryMarkup::PageIndex(" 4 ", &ok), qint64(3));
        HistoryMarkup::PageIndex("abc", &ok);
        QVERIFY(!ok);
        HistoryMarkup::PageIndex("", &ok);
        QVERIFY(!ok);
        HistoryMarkup::PageIndex("inf", &ok);
        QVERIFY(!ok);
        QVERIFY(HistoryMarkup::PageIndex("1e300", &ok) > 0);
    }

    void pagesOfFortyFive() {
        BoxKit kit;
        kit.store(45);
        QPointer<MessageBox> box = kit.open();
        auto* up = box->findChild<QPushButton*>("up_page");
        auto* next = box->findChild<QPushButton*>("next_page");
        auto* page = box->findChild<QLineEdit*>("page");
        QCOMPARE(box->windowTitle(), QStringLiteral("我的消息盒子"));
        QCOMPARE(page->text(), QStringLiteral("1"));
        QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：1页"));
        QVERIFY(!up->isEnabled());
        QCOMPARE(entries(box->pageHtml()), 20);
        // Newest first.
        QVERIFY(box->pageHtml().indexOf(">N45  ") < box->pageHtml().indexOf(">N44  "));
        QVERIFY(!box->pageHtml().contains(">N25  "));

        box->show();
        const QList<int> expected{20, 5, 0};
        for (int i = 0; i < expected.size(); ++i) {
            click(box, "next_page");
            QCOMPARE(page->text(), QString::number(i + 2));
            QCOMPARE(entries(box->pageHtml()), expected[i]);
            QVERIFY(up->isEnabled());
            QVERIFY(next->isEnabled());
            QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：%1页").arg(i + 2));
        }
        click(box, "up_page");
        QCOMPARE(box->shownPage(), 3);
        QVERIFY(box->pageHtml().contains(">N5  "));
        QVERIFY(box->pageHtml().contains(">N1  "));
        QCOMPARE(kit.mainWindows, QList<QWidget*>{box.data()});
        delete box;
    }

    void jumpsAndTheMessageForNonNumbers() {
        BoxKit kit;
        kit.store(45);
        QPointer<MessageBox> box = kit.open();
        box->show();
        auto* page = box->findChild<QLineEdit*>("page");
        page->setText("2.5");
        click(box, "jump_page");
        QCOMPARE(box->shownPage(), 2);
        page->setText("-3");
        click(box, "jump_page");
        QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：1页"));
        QCOMPARE(page->text(), QStringLiteral("-3"));
        QVERIFY(kit.prompt.calls.isEmpty());

        page->setText("3");
        click(box, "jump_page");
        const QString before = box->pageHtml();
        for (const char* button : {"jump_page", "next_page", "up_page"}) {
            page->setText("abc");
            click(box, button);
        }
        QCOMPARE(kit.prompt.calls.size(), 3);
        for (const PromptCall& call : kit.prompt.calls) {
            QCOMPARE(call.text, QStringLiteral("跳转关键字只能是数字！"));
            QCOMPARE(call.title, QStringLiteral("提示"));
            QCOMPARE(call.icon, PromptIcon::Exclamation);
        }
        QCOMPARE(page->text(), QStringLiteral("abc"));
        QCOMPARE(box->pageHtml(), before);
        QCOMPARE(box->shownPage(), 3);
        delete box;
    }

    void newMarksAndReadingByAddress() {
        BoxKit kit;
        kit.clock.advanceSecs(1);
        kit.history.StoreNotice("公告", "Upper", "http://N.example/Same", "b", kit.clock.now(), "S1");
        kit.clock.advanceSecs(1);
        kit.history.StoreNotice("公告", "Lower", "http://n.example/same", "b", kit.clock.now(), "S2");
        kit.clock.advanceSecs(1);
        kit.history.StoreNotice("公告", "Other", "http://n.example/other", "b", kit.clock.now(), "S3");
        QPointer<MessageBox> box = kit.open();
        QCOMPARE(int(box->pageHtml().count("(New)")), 3);

        auto* browser = box->findChild<HistoryBrowser*>("NewListWebBrowser");
        QCOMPARE(browser->contextMenuPolicy(), Qt::NoContextMenu);
        Q_EMIT browser->anchorClicked(QUrl("http://n.example/same"));
        QCOMPARE(kit.urls.opened, QStringList{"http://n.example/same"});
        QCOMPARE(kit.one("select count(*) from HistoryNews where Status=1"), QStringLiteral("2"));
        QCOMPARE(kit.one("select Status from HistoryNews where SNo='S3'"), QStringLiteral("0"));
        // The page is not re-rendered until the next ShowPage.
        QCOMPARE(int(box->pageHtml().count("(New)")), 3);
        box->ShowPage("1");
        QCOMPARE(int(box->pageHtml().count("(New)")), 1);
        QVERIFY(box->pageHtml().contains(">Other  "));

        // Addresses that are not web addresses are never handed to the browser.
        kit.history.StoreNotice("公告", "Script", "javascript:alert(1)", "b", kit.clock.now(), "S4");
        box->ShowPage("1");
        Q_EMIT browser->anchorClicked(QUrl("javascript:alert(1)"));
        QCOMPARE(kit.urls.opened.size(), 1);
        delete box;
    }

    void paintingResetsTheTrayIcon() {
        BoxKit kit;
        QPointer<MessageBox> box = kit.open();
        QCOMPARE(kit.paints, 0);
        box->grab();
        QVERIFY(kit.paints >= 1);
        const int after = kit.paints;
        box->grab();
        QVERIFY(kit.paints > after);
        delete box;
    }
};

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
