// The message box (its page, paging, unread marks and read marking), the settings
// dialog (loading, saving, honest failure reports) and the about box.

#include "HistoryMarkup.h"
#include "MessageBox.h"
#include "PageProbe.h"
#include "Seams.h"
#include "SysSettings.h"
#include "TestMain.h"
#include "WindowTestKit.h"
#include "sAbout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>

namespace {

class FakeAutoRun : public AutoRunStore {
public:
    bool IsAutoRunSet() const override { return set; }
    bool SetAutoRun() override { return change(true, sets); }
    bool RemoveAutoRun() override { return change(false, removes); }
    bool change(bool to, int& count) {
        ++count;
        set = works ? to : set;
        return works;
    }
    bool set = false;
    bool works = true;
    int sets = 0;
    int removes = 0;
};

struct Kit : WindowKit {
    FakeAutoRun autoRun;
    int paints = 0;
    QList<QWidget*> mainWindows;

    std::unique_ptr<MessageBox> messageBox() {
        MessageBoxDeps deps{history, urls, prompt, [this] { ++paints; }, [this](QWidget* w) { mainWindows << w; }};
        return std::make_unique<MessageBox>(deps);
    }
    std::unique_ptr<SysSettings> settingsDialog() {
        auto dialog = std::make_unique<SysSettings>(SysSettingsDeps{settings, autoRun, prompt});
        dialog->load();
        return dialog;
    }
    // One notice a second later than the one before.
    void store(const QString& title, const QString& url, const QString& serial) {
        clock.advanceSecs(1);
        history.StoreNotice(QStringLiteral("公告"), title, url, QStringLiteral("brief"), clock.now(), serial);
    }
    QString stored(const QString& key) { return settings.ReadSetting("SoftSettings", key); }
};

int entries(const MessageBox& box) {
    return int(box.pageHtml().count(QStringLiteral("<div class=\"dtitle\">")));
}
void click(const QWidget& w, const char* name) {
    QTest::mouseClick(w.findChild<QPushButton*>(name), Qt::LeftButton);
}
QCheckBox* check(const QWidget& w, const char* name) {
    return w.findChild<QCheckBox*>(name);
}
QComboBox* list(const QWidget& w, const char* name) {
    return w.findChild<QComboBox*>(name);
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryMarkup() {
        HistoryRow r{7, "公告", "标题", "http://n.example/x", "2009-03-05 14:05:06", "S", 1, "", "简介"};
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
        Kit kit;
        for (int i = 1; i <= 45; ++i)
            kit.store(QStringLiteral("N%1").arg(i), "http://n.example/", QStringLiteral("S%1").arg(i));
        auto box = kit.messageBox();
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
        Kit kit;
        auto box = kit.messageBox();
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

    // A link marks every row of its address read (in any letter case) and opens it, never
    // a script address; an address with a quote stays one link (opened encoded), and a
    // head-only tag in a brief hides none of its text.
    void linkMarksEveryRowOfItsAddressRead() {
        Kit kit;
        kit.store("Upper", "http://N.example/Same", "S1");
        kit.store("Lower", "http://n.example/same", "S2");
        kit.store("Other", "http://n.example/other", "S3");
        kit.store("Script", "javascript:alert(1)", "S4");
        kit.history.StoreNotice(QStringLiteral("公告"), QStringLiteral("Quote"),
                                QStringLiteral("http://n.example/a\" href=\"http://evil.example/"),
                                QStringLiteral("<link href=x>the brief"), kit.clock.now().addSecs(1), "S5");
        auto box = kit.messageBox();
        box->show();
        auto* browser = box->findChild<HistoryBrowser*>("NewListWebBrowser");
        QVERIFY(browser->toPlainText().contains("the brief"));
        QVERIFY(!clickFirstLink(browser).isEmpty()); // the newest entry's title
        Q_EMIT browser->anchorClicked(QUrl("http://n.example/same"));
        Q_EMIT browser->anchorClicked(QUrl("javascript:alert(1)"));
        QCOMPARE(kit.urls.opened,
                 QStringList({"http://n.example/a%22%20href=%22http://evil.example/", "http://n.example/same"}));
        QCOMPARE(kit.one("select group_concat(Status) from (select Status from HistoryNews order by Id)"),
                 QStringLiteral("1,1,0,1,1"));
        QCOMPARE(box->pageHtml().count("(New)"), 5); // until the next ShowPage
        box->ShowPage("1");
        QCOMPARE(box->pageHtml().count("(New)"), 1);
    }

    void entriesLookAsWrittenAndTakeTheKeyboard() {
        Kit kit;
        kit.store("First", "http://n.example/1", "S1");
        kit.store("Second", "http://n.example/2", "S2");
        auto box = kit.messageBox();
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

        // Every paint sets the tray icon back to its normal look.
        box->grab();
        const int paints = kit.paints;
        box->grab();
        QVERIFY(paints >= 1 && kit.paints > paints);

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

    void loadAndSaveRoundTrip() {
        Kit kit;
        auto dialog = kit.settingsDialog();
        // Escape does not close it, Enter saves only from the button itself; saving what
        // a fresh database loads writes the defaults back and leaves the dialog open.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        list(*dialog, "SysAdvAutoCloseTime")->setFocus();
        QTest::keyClick(list(*dialog, "SysAdvAutoCloseTime"), Qt::Key_Return);
        QVERIFY(kit.prompt.calls.isEmpty());
        dialog->findChild<QPushButton*>("CommdSave")->setFocus();
        QTest::keyClick(dialog->findChild<QPushButton*>("CommdSave"), Qt::Key_Return);
        QVERIFY(kit.prompt.calls.size() == 1 && dialog->isVisible());
        const PromptCall& c = kit.prompt.calls[0];
        QVERIFY(c.text == "恭喜您，设置保存成功！" && c.title == "VantobelPlayTray" &&
                c.icon == PromptIcon::Information);
        QStringList values;
        for (const char* key : {"PopShow_SysBrightsproutNotice", "PopShow_SysAdv", "PopShow_SysNotice",
                                "PopShow_SysNewList", "AllMessagePeaceful", "PopAutoCloseTime_SysNotice"})
            values << kit.stored(key);
        QCOMPARE(values, QStringList({"0", "0", "1", "1", "0", "1"}));
        QCOMPARE(kit.autoRun.sets + kit.autoRun.removes, 0);

        // What was saved comes back; a value the lists do not hold selects nothing and saves as 1.
        kit.settings.WriteSetting("SoftSettings", "PopAutoCloseTime_SysNotice", "500");
        kit.settings.WriteSetting("SoftSettings", "PopShow_SysBrightsproutNotice", "yes");
        dialog = kit.settingsDialog();
        QCOMPARE(list(*dialog, "SysNoticeAutoCloseTime")->currentIndex(), -1);
        list(*dialog, "SysAdvAutoCloseTime")->setCurrentIndex(14);
        check(*dialog, "Peaceful")->setChecked(true);
        check(*dialog, "SysAdvAutoClose")->setChecked(true);
        click(*dialog, "CommdSave");
        QCOMPARE(kit.stored("PopAutoCloseTime_SysAdv"), QStringLiteral("15"));
        QCOMPARE(kit.stored("PopAutoCloseTime_SysNotice"), QStringLiteral("1"));

        auto again = kit.settingsDialog();
        QCOMPARE(list(*again, "SysAdvAutoCloseTime")->currentText(), QStringLiteral("15分钟"));
        QCOMPARE(list(*again, "SysNoticeAutoCloseTime")->currentText(), QStringLiteral("1分钟"));
        QVERIFY(check(*again, "Peaceful")->isChecked() && check(*again, "SysAdvAutoClose")->isChecked());
        QVERIFY(!check(*again, "SysBrightsproutNotice")->isChecked());
    }

    void autorunAndFailedSaves() {
        Kit kit;
        kit.autoRun.set = true;
        auto dialog = kit.settingsDialog();
        QVERIFY(check(*dialog, "KestavelSoft_AutoRun")->isChecked());
        check(*dialog, "KestavelSoft_AutoRun")->setChecked(false);
        click(*dialog, "CommdSave");
        click(*dialog, "CommdSave");
        QCOMPARE(kit.autoRun.removes, 1);
        QCOMPARE(kit.autoRun.sets, 0);

        kit.autoRun.works = false;
        check(*dialog, "KestavelSoft_AutoRun")->setChecked(true);
        click(*dialog, "CommdSave");
        QCOMPARE(kit.prompt.calls.size(), 3);
        QVERIFY(kit.prompt.calls[2].icon == PromptIcon::Critical && kit.prompt.calls[2].text.contains("开机自启动"));

        kit.autoRun.works = true;
        sqlOn(kit.db(), "create trigger refuse before insert on SoftSettings begin select raise(abort,'no'); end;");
        check(*dialog, "SysAdv")->setChecked(true);
        click(*dialog, "CommdSave");
        const PromptCall& last = kit.prompt.calls.last();
        QVERIFY(last.icon == PromptIcon::Critical && last.text.contains(QStringLiteral("消息设置")));
        QVERIFY(!last.text.contains(QStringLiteral("开机自启动")));
        QCOMPARE(kit.stored("PopShow_SysAdv"), QStringLiteral("0"));
    }

    void aboutBox() {
        RecordingUrlOpener urls;
        QPointer<sAbout> about = new sAbout(AboutDeps{QStringLiteral("1.2.35"), urls});
        QVERIFY(about->windowTitle() == QStringLiteral("关于 VantobelPlayTray") &&
                about->versionText() == QStringLiteral("Vantobel育儿播放器(VantobelPlayTray) 1.2.35"));
        about->show();
        QTest::mouseClick(about->findChild<QLabel*>("lblDisclaimer"), Qt::LeftButton);
        QCOMPARE(urls.opened, QStringList{kVendorHomeAddress});
        QTest::keyClick(about->findChild<QLabel*>("lblDisclaimer"), Qt::Key_Space);
        QCOMPARE(urls.opened.size(), 2);
        QVERIFY(about->isVisible());
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        delete about;
    }
};

VT_TEST(TestWindows)
#include "test_windows.moc"
