// The windows as the user sees them, with the shipped skin: no text cut by its own box,
// by a control over it or by its container; every clickable item reached with Tab and
// named for a screen reader (run at scale 1, 1.25, 1.5 and 2). Then each window's own
// work: the message box's page, paging, unread marks and read marking; the settings
// dialog's loading, saving and honest failure reports; the about box.

#include "HistoryMarkup.h"
#include "MessageBox.h"
#include "Notice.h"
#include "PopNotice.h"
#include "Seams.h"
#include "Skin.h"
#include "SysSettings.h"
#include "TestMain.h"
#include "TrayIcon.h"
#include "WindowTestKit.h"
#include "sAbout.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyleOption>
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
    bool set = false, works = true;
    int sets = 0, removes = 0;
};

struct Kit : WindowKit {
    FakeAutoRun autoRun;
    int paints = 0;

    std::unique_ptr<MessageBox> messageBox() {
        MessageBoxDeps deps{history, urls, prompt, [this] { ++paints; }, [](QWidget*) {}};
        return std::make_unique<MessageBox>(deps);
    }
    std::unique_ptr<SysSettings> settingsDialog() {
        auto dialog = std::make_unique<SysSettings>(SysSettingsDeps{settings, autoRun, prompt});
        dialog->load();
        return dialog;
    }
    // One notice a second later than the one before.
    void store(const QString& title, const QString& url, const QString& serial, const QString& brief = "brief",
               const QString& type = QStringLiteral("公告")) {
        clock.advanceSecs(1);
        history.StoreNotice(type, title, url, brief, clock.now(), serial);
    }
    QString stored(const QString& key) { return settings.ReadSetting("SoftSettings", key); }
};

int entries(const MessageBox& box) {
    return int(box.pageHtml().count(QStringLiteral("<div class=\"dtitle\">")));
}
void click(const QWidget& w, const char* name) {
    QTest::mouseClick(w.findChild<QPushButton*>(name), Qt::LeftButton);
}

// Every window at once, full of the longest texts they show.
struct Windows : Kit {
    QList<QPointer<QWidget>> open;

    Windows() {
        autoRun.set = true;
        pictures.answer = QImage(100, 100, QImage::Format_RGB32);
        pictures.answer.fill(Qt::darkCyan);
        // The widest title shown whole, and a brief longer than the window.
        const Notice notice{QString(19, QChar(u'囍')), QStringLiteral("http://n.example/1"),
                            QStringLiteral("http://p.example/1.png"), QString(120, QChar(u'长')),
                            QStringLiteral("公告")};
        const auto screen = [] { return QRect(0, 0, 1280, 800); };
        open << new PopNotice({settings, history, utils, urls, clock, &pictures, {}, screen}, notice);
        for (int i = 1; i <= 25; ++i)
            store(QString(19, QChar(u'育')), QStringLiteral("http://n.example/%1").arg(i), QStringLiteral("S%1").arg(i),
                  QString(200, QChar(u'简')), QStringLiteral("Brightsprout培养计划"));
        open << messageBox().release() << settingsDialog().release();
        open << new sAbout({QStringLiteral("65535.65535.65535"), urls});
        for (QWidget* w : std::as_const(open)) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
        }
        QTest::qWait(50); // the picture arrives
    }
    ~Windows() { qDeleteAll(open); }
};

QString describe(const QWidget* w) {
    const QVariant text = w->property(qobject_cast<const QComboBox*>(w) ? "currentText" : "text");
    return QStringLiteral("%1 %2 \"%3\" in %4")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text.toString(),
             w->window()->windowTitle());
}

// Where the text of a widget lies (widget coordinates) and the area it may use,
// measured from the font and the style, not from the widget's own size hint.
struct TextPlace {
    QRect room; // the area the style gives the text
    QSize need; // the text's width and line height
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

std::optional<TextPlace> placeOf(const QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    TextPlace p;
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty())
            return std::nullopt;
        const int m = label->margin();
        p.room = label->contentsRect().adjusted(m, m, -m, -m);
        p.align = label->alignment();
        p.need = label->wordWrap() ? fm.boundingRect(p.room, Qt::TextWordWrap | int(p.align), label->text()).size()
                                   : QSize(fm.horizontalAdvance(label->text()), fm.height());
        return p;
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        const bool check = qobject_cast<const QCheckBox*>(w) != nullptr;
        if (!check && qobject_cast<const QPushButton*>(w) == nullptr)
            return std::nullopt;
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        p.room = button->style()->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents,
                                                 &opt, button);
        p.need = QSize(fm.horizontalAdvance(button->text()), fm.height());
        p.align = check ? p.align : Qt::AlignCenter;
        return p;
    }
    if (auto* list = qobject_cast<const QComboBox*>(w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(list);
        opt.frame = list->hasFrame();
        opt.currentText = list->currentText();
        p.room = list->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, list);
        p.need = QSize(0, fm.height());
        for (int i = 0; i < list->count(); ++i) // the longest choice, not only the current one
            p.need.setWidth(qMax(p.need.width(), fm.horizontalAdvance(list->itemText(i))));
        return p;
    }
    if (auto* field = qobject_cast<const QLineEdit*>(w)) {
        QStyleOptionFrame opt;
        opt.initFrom(field);
        opt.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, field) : 0;
        p.room = field->style()->subElementRect(QStyle::SE_LineEditContents, &opt, field);
        p.need = QSize(fm.horizontalAdvance(QStringLiteral("999")), fm.height());
        return p;
    }
    return std::nullopt;
}

// Controls that paint over what lies below them (plain containers do not).
bool covers(const QWidget* w) {
    if (!w->isVisible() || qobject_cast<const QGroupBox*>(w) != nullptr)
        return false;
    return w->metaObject() != &QWidget::staticMetaObject || w->autoFillBackground() ||
           w->testAttribute(Qt::WA_StyledBackground);
}

// Whether `other` is painted after (over) w: the later of their branches below the
// nearest common ancestor.
bool paintedOver(QWidget* other, QWidget* w) {
    for (QWidget* a = w; a->parentWidget() != nullptr; a = a->parentWidget()) {
        QWidget* common = a->parentWidget();
        if (!common->isAncestorOf(other))
            continue;
        QWidget* b = other;
        while (b->parentWidget() != common)
            b = b->parentWidget();
        return common->children().indexOf(b) > common->children().indexOf(a);
    }
    return false;
}

// The faults of one window's texts, one line each.
QStringList cutTexts(QWidget* window) {
    QStringList faults;
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* w : all) {
        const auto place = w->isVisible() ? placeOf(w) : std::nullopt;
        if (!place)
            continue;
        if (place->need.width() > place->room.width() || place->need.height() > place->room.height()) {
            faults << describe(w) + ": text " + QDebug::toString(place->need) + " in " + QDebug::toString(place->room);
            continue;
        }
        const QRect text = QStyle::alignedRect(w->layoutDirection(), place->align, place->need, place->room);
        const QRect inWindow(w->mapTo(window, text.topLeft()), text.size());
        for (QWidget* up = w->parentWidget(); up != nullptr; up = up->parentWidget()) {
            const QRect upInWindow(up == window ? QPoint() : up->mapTo(window, QPoint()), up->size());
            if (!upInWindow.contains(inWindow))
                faults << QStringLiteral("%1: text leaves %2").arg(describe(w), describe(up));
        }
        for (QWidget* other : all) {
            if (other == w || !covers(other) || other->isAncestorOf(w) || w->isAncestorOf(other) ||
                !paintedOver(other, w))
                continue;
            const QRect otherInWindow(other->mapTo(window, QPoint()), other->size());
            if (otherInWindow.intersects(inWindow))
                faults << QStringLiteral("%1: text under %2").arg(describe(w), describe(other));
        }
    }
    return faults;
}

bool clickableLabel(const QWidget* w) {
    return qobject_cast<const QLabel*>(w) != nullptr && w->cursor().shape() == Qt::PointingHandCursor;
}

bool isInput(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextBrowser*>(w) || clickableLabel(w);
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QWidget host;
        ApplySkin(m_engine, &host, QStringLiteral(VT_SOURCE_DIR "/resources/skin/"));
        QVERIFY(m_engine.isLoaded());
        QVERIFY(qApp->styleSheet().contains(QStringLiteral("QPushButton")));
    }

    void everyWindowIsWhole() {
        Windows windows;
        QStringList faults;
        for (QWidget* window : std::as_const(windows.open)) {
            faults << cutTexts(window);
            QSet<QWidget*> wanted;
            QStringList names;
            for (QWidget* w : window->findChildren<QWidget*>()) {
                if (!w->isVisible())
                    continue;
                // The skin colours, it does not change the windows' 12-pixel face.
                if (placeOf(w) && w->font().pixelSize() != 12)
                    faults << describe(w) + QStringLiteral(": font ") + w->font().toString();
                // Pictures drawn for the screen's density, not magnified from a smaller one.
                if (auto* label = qobject_cast<QLabel*>(w);
                    label && !label->pixmap().isNull() &&
                    label->pixmap().devicePixelRatio() < label->devicePixelRatioF())
                    faults << describe(label) +
                                  QStringLiteral(": picture at %1x").arg(label->pixmap().devicePixelRatio());
                if (!w->isEnabled() || !isInput(w))
                    continue;
                wanted.insert(w);
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                QString name = a ? a->text(QAccessible::Name) : QString();
                // A list whose name is its value is named by the label that labels it.
                auto* list = qobject_cast<QComboBox*>(w);
                if (a && list && name == list->currentText()) {
                    const auto labels = a->relations(QAccessible::Label);
                    name = labels.isEmpty() ? name : labels.first().first->text(QAccessible::Name);
                }
                if (name.trimmed().isEmpty())
                    faults << describe(w) + QStringLiteral(": no accessible name");
                else if (names.contains(name))
                    faults << describe(w) + QStringLiteral(": accessible name \"%1\" not unique").arg(name);
                names << name;
                if (list && name == list->currentText())
                    faults << describe(w) + QStringLiteral(": named by its value");
                if (clickableLabel(w) && (!a || a->role() != QAccessible::Link))
                    faults << describe(w) + QStringLiteral(": clickable but not a link to a screen reader");
            }

            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            bool anchorReached = false;
            for (int i = 0; i < 120 && !wanted.isEmpty(); ++i) {
                QWidget* focus = QApplication::focusWidget();
                QTest::keyClick(focus ? focus : window, Qt::Key_Tab);
                focus = QApplication::focusWidget();
                wanted.remove(focus);
                if (auto* browser = qobject_cast<QTextBrowser*>(focus))
                    anchorReached = anchorReached || browser->textCursor().charFormat().isAnchor() ||
                                    browser->textCursor().hasSelection();
            }
            for (QWidget* w : std::as_const(wanted))
                faults << describe(w) + QStringLiteral(": not reached with Tab");
            if (qobject_cast<MessageBox*>(window) && !anchorReached)
                faults << QStringLiteral("no entry of the message box reached with Tab");
        }
        // The tray's looks hold pictures for a 22-pixel icon at the screen's density.
        const int trayPixels = qCeil(22 * qApp->devicePixelRatio());
        for (TrayIconState state : {TrayIconState::Normal, TrayIconState::Unread, TrayIconState::Offline}) {
            const QList<QSize> sizes = TrayIcon::iconFor(state).availableSizes();
            if (sizes.isEmpty() || std::ranges::max(sizes, {}, &QSize::width).width() < trayPixels)
                faults << QStringLiteral("tray look %1 has no picture of %2 pixels").arg(int(state)).arg(trayPixels);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void pagingAndJumps() {
        Kit kit;
        for (int i = 1; i <= 45; ++i)
            kit.store(QStringLiteral("N%1").arg(i), "http://n.example/", QStringLiteral("S%1").arg(i));
        auto box = kit.messageBox();
        QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：1页"));
        QCOMPARE(entries(*box), 20);
        auto* up = box->findChild<QPushButton*>("up_page");
        QVERIFY(!up->isEnabled());
        QVERIFY(box->pageHtml().indexOf(">N45  ") < box->pageHtml().indexOf(">N44  ")); // newest first
        for (const int shown : {20, 5, 0}) {
            click(*box, "next_page");
            QCOMPARE(entries(*box), shown);
            QVERIFY(up->isEnabled());
        }
        QCOMPARE(box->statusText(), QStringLiteral("每页：20条 | 当前位于第：4页"));
        click(*box, "up_page");
        QVERIFY(box->pageHtml().contains(">N5  ") && box->pageHtml().contains(">N1  "));

        // A page number is rounded half to even and kept at 1 or more; one that is no
        // number is refused with a box and changes nothing.
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
        kit.store("Quote", "http://n.example/a\" href=\"http://evil.example/", "S5", "<link href=x>the brief");
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
        // The page around the entries: a line break kept, the script's "undefined" shown as nothing.
        QVERIFY(HistoryMarkup::PageDocument("x\ry").endsWith("\">x<BR>y</body>"));
        QVERIFY(HistoryMarkup::PageDocument("undefined").endsWith("\"></body>"));
        Kit kit;
        kit.store("First", "http://n.example/1", "S1");
        kit.store("  ", "http://n.example/blank", "S0"); // no entry, and the bands still alternate
        kit.store("Second", "http://n.example/2", "S2");
        auto box = kit.messageBox();
        auto* browser = box->findChild<HistoryBrowser*>("NewListWebBrowser");
        // Each entry: its band behind all of it, the light-blue rule under its title line.
        QStringList bands;
        int rules = 0;
        for (QTextFrame* frame : browser->document()->rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            bands << table->format().background().color().name();
            const QTextTableCellFormat title = table->cellAt(0, 0).format().toTableCellFormat();
            if (title.bottomBorder() >= 1 && title.bottomBorderBrush().color() == QColor("#8EC3EB"))
                ++rules;
        }
        QCOMPARE(bands, QStringList({"#f5f8fa", "#ffffff"}));
        QCOMPARE(rules, 2);
        QCOMPARE(browser->toPlainText().count(QStringLiteral("brief...")), 2);

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

    void settingsRoundTripAndFailedSaves() {
        Kit kit;
        auto dialog = kit.settingsDialog();
        // Escape does not close it, Enter saves only from the button itself; saving what
        // a fresh database loads writes the defaults back and leaves the dialog open.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        dialog->findChild<QComboBox*>("SysAdvAutoCloseTime")->setFocus();
        QTest::keyClick(dialog->findChild<QComboBox*>("SysAdvAutoCloseTime"), Qt::Key_Return);
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

        // What was saved comes back; a value the lists do not hold selects nothing and saves as 1.
        kit.settings.WriteSetting("SoftSettings", "PopAutoCloseTime_SysNotice", "500");
        kit.settings.WriteSetting("SoftSettings", "PopShow_SysBrightsproutNotice", "yes");
        dialog = kit.settingsDialog();
        QCOMPARE(dialog->findChild<QComboBox*>("SysNoticeAutoCloseTime")->currentIndex(), -1);
        dialog->findChild<QComboBox*>("SysAdvAutoCloseTime")->setCurrentIndex(14);
        dialog->findChild<QCheckBox*>("Peaceful")->setChecked(true);
        dialog->findChild<QCheckBox*>("SysAdvAutoClose")->setChecked(true);
        click(*dialog, "CommdSave");
        QCOMPARE(kit.stored("PopAutoCloseTime_SysAdv"), QStringLiteral("15"));
        QCOMPARE(kit.stored("PopAutoCloseTime_SysNotice"), QStringLiteral("1"));

        auto again = kit.settingsDialog();
        QCOMPARE(again->findChild<QComboBox*>("SysAdvAutoCloseTime")->currentText(), QStringLiteral("15分钟"));
        QVERIFY(again->findChild<QCheckBox*>("Peaceful")->isChecked() &&
                again->findChild<QCheckBox*>("SysAdvAutoClose")->isChecked());
        QVERIFY(!again->findChild<QCheckBox*>("SysBrightsproutNotice")->isChecked());

        // Start-with-desktop shows what is set and changes once however often saved; a
        // failed change and a refused write are each said, and say only what failed.
        kit.autoRun.set = true;
        dialog = kit.settingsDialog();
        dialog->findChild<QCheckBox*>("KestavelSoft_AutoRun")->setChecked(false);
        click(*dialog, "CommdSave");
        click(*dialog, "CommdSave");
        QCOMPARE(kit.autoRun.removes, 1);
        QCOMPARE(kit.autoRun.sets, 0);

        kit.autoRun.works = false;
        dialog->findChild<QCheckBox*>("KestavelSoft_AutoRun")->setChecked(true);
        click(*dialog, "CommdSave");
        QCOMPARE(kit.prompt.calls.size(), 5);
        QVERIFY(kit.prompt.calls[4].icon == PromptIcon::Critical && kit.prompt.calls[4].text.contains("开机自启动"));

        kit.autoRun.works = true;
        sqlOn(kit.db(), "create trigger refuse before insert on SoftSettings begin select raise(abort,'no'); end;");
        dialog->findChild<QCheckBox*>("SysAdv")->setChecked(true);
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
        QVERIFY(urls.opened.size() == 2 && about->isVisible());
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        delete about;
    }

private:
    SkinEngine m_engine; // lives for the run, like the tray's
};

VT_TEST(TestWindows)
#include "test_windows.moc"
