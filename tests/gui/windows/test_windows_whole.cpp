// Every window as the user sees it, with the shipped skin: no text cut by its own
// box, by a control over it or by its container; every clickable item reached with
// Tab and named for a screen reader. Run at scale 1, 1.25, 1.5 and 2.

#include "../popup/WindowTestKit.h"
#include "MessageBox.h"
#include "Notice.h"
#include "NoticePicture.h"
#include "PopNotice.h"
#include "Seams.h"
#include "Skin.h"
#include "SysSettings.h"
#include "TestMain.h"
#include "TrayIcon.h"
#include "sAbout.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <QTextBrowser>
#include <QtTest>

namespace {

class NoAutoRun : public AutoRunStore {
public:
    bool IsAutoRunSet() const override { return true; }
    bool SetAutoRun() override { return true; }
    bool RemoveAutoRun() override { return true; }
};

class SquarePicture : public NoticePictureSource {
public:
    void fetch(const QString&, QSize, QObject* context, std::function<void(const QImage&)> done) override {
        QTimer::singleShot(0, context, [done] {
            QImage image(100, 100, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            done(image);
        });
    }
};

struct Windows : WindowKit {
    NoAutoRun autoRun;
    SquarePicture picture;
    QList<QPointer<QWidget>> open;

    Windows() {
        // The widest title shown whole, and a brief longer than the window.
        const Notice notice{QString(19, QChar(u'囍')), QStringLiteral("http://n.example/1"),
                            QStringLiteral("http://p.example/1.png"), QString(120, QChar(u'长')),
                            QStringLiteral("公告")};
        const auto screen = [] { return QRect(0, 0, 1280, 800); };
        open << new PopNotice({settings, history, utils, urls, clock, &picture, {}, screen}, notice);

        for (int i = 1; i <= 25; ++i) {
            clock.advanceSecs(1);
            history.StoreNotice(QStringLiteral("Brightsprout培养计划"), QString(19, QChar(u'育')),
                                QStringLiteral("http://n.example/%1").arg(i), QString(200, QChar(u'简')), clock.now(),
                                QStringLiteral("S%1").arg(i));
        }
        open << new MessageBox({history, urls, prompt, {}, {}});
        auto* settingsDialog = new SysSettings({settings, autoRun, prompt});
        settingsDialog->load();
        open << settingsDialog;
        open << new sAbout({QStringLiteral("65535.65535.65535"), urls});
        for (QWidget* w : std::as_const(open)) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
        }
        QTest::qWait(50); // the picture arrives
    }
    ~Windows() {
        for (QWidget* w : std::as_const(open))
            delete w;
    }
};

QString describe(const QWidget* w) {
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(w))
        text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(w))
        text = button->text();
    else if (auto* list = qobject_cast<const QComboBox*>(w))
        text = list->currentText();
    return QStringLiteral("%1 %2 \"%3\" in %4")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text, w->window()->windowTitle());
}

// Where the text of a widget lies (widget coordinates) and the area it may use,
// measured from the font and the style, not from the widget's own size hint.
struct TextPlace {
    QRect room; // the area the style gives the text
    QSize need; // the text's width and line height
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

int widestItem(const QComboBox* list) {
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = qMax(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
    return widest;
}

std::optional<TextPlace> placeOf(const QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    TextPlace p;
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty())
            return std::nullopt;
        p.room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
        p.align = label->alignment();
        if (label->wordWrap()) {
            const QRect wrapped = fm.boundingRect(p.room, Qt::TextWordWrap | int(label->alignment()), label->text());
            p.need = wrapped.size();
        } else {
            p.need = QSize(fm.horizontalAdvance(label->text()), fm.height());
        }
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
        p.need = QSize(widestItem(list), fm.height());
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
    if (w->metaObject() == &QWidget::staticMetaObject)
        return w->autoFillBackground() || w->testAttribute(Qt::WA_StyledBackground);
    return true;
}

// Whether `other` is painted after (over) w: the later of their branches below the
// nearest common ancestor.
bool paintedOver(const QWidget* other, const QWidget* w) {
    for (const QWidget* a = w; a->parentWidget() != nullptr; a = a->parentWidget()) {
        const QWidget* common = a->parentWidget();
        if (!common->isAncestorOf(other))
            continue;
        const QWidget* b = other;
        while (b->parentWidget() != common)
            b = b->parentWidget();
        const QObjectList& order = common->children();
        return order.indexOf(const_cast<QWidget*>(b)) > order.indexOf(const_cast<QWidget*>(a));
    }
    return false;
}

// The faults of one window's texts, one line each.
QStringList cutTexts(QWidget* window) {
    QStringList faults;
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (!w->isVisible())
            continue;
        const auto place = placeOf(w);
        if (!place)
            continue;
        if (place->need.width() > place->room.width() || place->need.height() > place->room.height()) {
            faults << QStringLiteral("%1: text %2x%3 in room %4x%5")
                          .arg(describe(w))
                          .arg(place->need.width())
                          .arg(place->need.height())
                          .arg(place->room.width())
                          .arg(place->room.height());
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

class TestWindowsWhole : public QObject {
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
        for (const QString& fault : std::as_const(faults))
            qWarning("%s", qPrintable(fault));
        QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1 faults").arg(faults.size())));
    }

private:
    SkinEngine m_engine; // lives for the run, like the tray's
};

VT_TEST(TestWindowsWhole)
#include "test_windows_whole.moc"
