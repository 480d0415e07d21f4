// The message box: its page markup, paging, unread marks and read marking.

#include "HistoryMarkup.h"
#include "MessageBox.h"
#include "PageProbe.h"
#include "TestMain.h"
#include "WindowTestKit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>

namespace {

struct BoxKit : WindowKit {
    int paints = 0;
    QList<QWidget*> mainWindows;

    std::unique_ptr<MessageBox> open() {
        MessageBoxDeps deps{history, urls, prompt, [this] { ++paints; }, [this](QWidget* w) { mainWindows << w; }};
        return std::make_unique<MessageBox>(deps);
    }
    // One notice a second later than the one before.
    void store(const QString& title, const QString& url, const QString& serial) {
        clock.advanceSecs(1);
        history.StoreNotice(QStringLiteral("公告"), title, url, QStringLiteral("brief"), clock.now(), serial);
    }
};

int entries(const MessageBox& box) {
    return int(box.pageHtml().count(QStringLiteral("<div class=\"dtitle\">")));
}
void click(MessageBox& box, const char* name) {
    QTest::mouseClick(box.findChild<QPushButton*>(name), Qt::LeftButton);
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryMarkup() {
        HistoryRow r{7, "公告", "标题", "http://n.example/x", "2009-03-05 14:05:06", "S", 0, "", "简介"};
        const QString unread = HistoryMarkup::Entry(r, "msgdl");
        QVERIFY(unread.startsWith("<div class=\"msgdl\">") && unread.contains("<font id=\"N7\">(New)</font>"));
        QVERIFY(unread.contains("href=\"http://n.example/x\">标题  2009-03-05 14:05:06") &&
                unread.contains("href=\"http://n.example/x\" >简介...</a>"));
        r.Status = 1;
        QVERIFY(!HistoryMarkup::Entry(r, "msgdw").contains("(New)"));

        // A blank title is skipped and does not shift the alternation.
        HistoryRow blank = r;
        blank.Title = "  ";
        const QString list = HistoryMarkup::EntryList({r, blank, r, r});
        QCOMPARE(list.count("<div class=\"msgd"), 3);
        QVERIFY(list.indexOf("\"msgdl\"") < list.indexOf("\"msgdw\"") &&
                list.indexOf("\"msgdw\"") < list.lastIndexOf("\"msgdl\""));
        QVERIFY(HistoryMarkup::PageDocument("x\ry").endsWith("padding:0px;\">x<BR>y</body>"));
        QVERIFY(HistoryMarkup::PageDocument("undefined").endsWith("padding:0px;\"></body>"));
    }

    void fortyFiveNoticesPaged() {
        BoxKit kit;
        for (int i = 1; i <= 45; ++i)
            kit.store(QStringLiteral("N%1").arg(i), "http://n.example/", QStringLiteral("S%1").arg(i));
        auto box = kit.open();
        QCOMPARE(kit.mainWindows, QList<QWidget*>{box.get()});
        QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：1页"));
        QCOMPARE(entries(*box), 20);
        auto* up = box->findChild<QPushButton*>("up_page");
        QVERIFY(!up->isEnabled());
        QVERIFY(box->pageHtml().indexOf(">N45  ") < box->pageHtml().indexOf(">N44  ")); // newest first
        const QList<int> expected{20, 5, 0};
        for (int i = 0; i < expected.size(); ++i) {
            click(*box, "next_page");
            QCOMPARE(entries(*box), expected[i]);
            QVERIFY(up->isEnabled());
        }
        QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：4页"));
        click(*box, "up_page");
        QVERIFY(box->pageHtml().contains(">N5  ") && box->pageHtml().contains(">N1  "));
    }

    void jumps() {
        BoxKit kit;
        auto box = kit.open();
        auto* page = box->findChild<QLineEdit*>("page");
        const QList<QPair<QString, int>> jumps{{"2.5", 2}, {"3.5", 4}, {"-3", 1}, {" 3 ", 3}};
        for (const auto& [text, shown] : jumps) {
            page->setText(text);
            click(*box, "jump_page");
            QCOMPARE(box->shownPage(), shown);
        }
        QVERIFY(kit.prompt.calls.isEmpty());
        page->setText("abc");
        click(*box, "next_page");
        QCOMPARE(kit.prompt.calls.size(), 1);
        const PromptCall& call = kit.prompt.calls[0];
        QVERIFY(call.text == "跳转关键字只能是数字！" && call.title == "提示" && call.icon == PromptIcon::Exclamation);
        QCOMPARE(box->shownPage(), 3);
    }

    void linkMarksEveryRowOfItsAddressRead() {
        BoxKit kit;
        kit.store("Upper", "http://N.example/Same", "S1");
        kit.store("Lower", "http://n.example/same", "S2");
        kit.store("Other", "http://n.example/other", "S3");
        kit.store("Script", "javascript:alert(1)", "S4");
        auto box = kit.open();
        auto* browser = box->findChild<HistoryBrowser*>("NewListWebBrowser");
        Q_EMIT browser->anchorClicked(QUrl("http://n.example/same"));
        Q_EMIT browser->anchorClicked(QUrl("javascript:alert(1)"));
        QCOMPARE(kit.urls.opened, QStringList{"http://n.example/same"}); // never a script address
        QCOMPARE(kit.one("select group_concat(Status) from (select Status from HistoryNews order by Id)"),
                 QStringLiteral("1,1,0,1"));
        QCOMPARE(box->pageHtml().count("(New)"), 4); // until the next ShowPage
        box->ShowPage("1");
        QCOMPARE(box->pageHtml().count("(New)"), 1);
    }

    // An address with a quote stays one link: it opens the encoded address and marks
    // the row that carries it as read.
    void addressWithAQuoteStaysOneLink() {
        BoxKit kit;
        const QString url = QStringLiteral("http://n.example/a\" href=\"http://evil.example/");
        kit.store("Title", url, "S1");
        auto box = kit.open();
        box->show();
        QVERIFY(!clickFirstLink(box->findChild<HistoryBrowser*>("NewListWebBrowser")).isEmpty());
        QCOMPARE(kit.urls.opened, QStringList{"http://n.example/a%22%20href=%22http://evil.example/"});
        QCOMPARE(kit.one("select Status from HistoryNews"), QStringLiteral("1"));
    }

    // A head-only tag in a stored brief hides none of its text.
    void headTagInABriefHidesNothing() {
        BoxKit kit;
        kit.history.StoreNotice(QStringLiteral("公告"), QStringLiteral("Title"), QStringLiteral("http://n.example/2"),
                                QStringLiteral("<link href=x>the brief"), kit.clock.now(), QStringLiteral("S2"));
        auto box = kit.open();
        QVERIFY(box->findChild<HistoryBrowser*>("NewListWebBrowser")->toPlainText().contains("the brief"));
    }

    void entriesLookAsWrittenAndTakeTheKeyboard() {
        BoxKit kit;
        kit.store("First", "http://n.example/1", "S1");
        kit.store("Second", "http://n.example/2", "S2");
        auto box = kit.open();
        auto* browser = box->findChild<HistoryBrowser*>("NewListWebBrowser");
        // Each entry: its band behind all of it, the light-blue rule under its title line.
        QStringList bands;
        int rules = 0;
        for (QTextFrame* frame : browser->document()->rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            QVERIFY(table != nullptr);
            bands << table->format().background().color().name();
            const QTextTableCellFormat title = table->cellAt(0, 0).format().toTableCellFormat();
            QTextCursor body = table->cellAt(1, 0).firstCursorPosition();
            body.setPosition(table->cellAt(1, 0).lastCursorPosition().position(), QTextCursor::KeepAnchor);
            QVERIFY(body.selectedText().contains(QStringLiteral("brief...")));
            if (title.bottomBorder() >= 1 && title.bottomBorderBrush().color() == QColor("#8EC3EB"))
                ++rules;
        }
        QCOMPARE(bands, QStringList({"#f5f8fa", "#ffffff"}));
        QCOMPARE(rules, 2);

        box->show();
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box.get()));
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QCOMPARE(kit.urls.opened, QStringList{"http://n.example/2"});
        auto* next = box->findChild<QPushButton*>("next_page");
        next->setFocus();
        QTest::keyClick(next, Qt::Key_Return);
        QCOMPARE(box->shownPage(), 2);
    }

    void everyPaintResetsTheTrayIcon() {
        BoxKit kit;
        auto box = kit.open();
        box->grab();
        const int first = kit.paints;
        box->grab();
        QVERIFY(first >= 1 && kit.paints > first);
    }
};

VT_TEST(TestMessageBox)
#include "test_messagebox.moc"
