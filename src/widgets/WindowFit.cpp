#include "WindowFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmapCache>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <cmath>

namespace WindowFit {

namespace {
constexpr int kGap = 3; // between a grown text and the control it pushes

// The area the style gives the text, in widget coordinates.
QRect textRoom(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        const int m = label->margin();
        return label->contentsRect().adjusted(m, m, -m, -m);
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        const bool check = qobject_cast<const QCheckBox*>(w) != nullptr;
        if (!check && qobject_cast<const QPushButton*>(w) == nullptr)
            return button->rect();
        return button->style()->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents,
                                               &opt, button);
    }
    if (auto* list = qobject_cast<const QComboBox*>(w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(list);
        opt.frame = list->hasFrame();
        opt.currentText = list->currentText();
        return list->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, list);
    }
    if (auto* field = qobject_cast<const QLineEdit*>(w)) {
        QStyleOptionFrame opt;
        opt.initFrom(field);
        opt.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, field) : 0;
        return field->style()->subElementRect(QStyle::SE_LineEditContents, &opt, field);
    }
    return {};
}

// The width and height of the text at the widget's font.
QSize textSize(const QWidget* w, const QRect& room) {
    const QFontMetrics fm = w->fontMetrics();
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty())
            return {};
        if (label->wordWrap())
            return fm
                .boundingRect(QRect(room.topLeft(), QSize(room.width(), 100000)),
                              Qt::TextWordWrap | int(label->alignment()), label->text())
                .size();
        return {fm.horizontalAdvance(label->text()), fm.height()};
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text().isEmpty() ? QSize() : QSize(fm.horizontalAdvance(button->text()), fm.height());
    if (auto* list = qobject_cast<const QComboBox*>(w)) {
        int widest = 0;
        for (int i = 0; i < list->count(); ++i)
            widest = std::max(widest, fm.horizontalAdvance(list->itemText(i)));
        return {widest, fm.height()};
    }
    if (auto* field = qobject_cast<const QLineEdit*>(w))
        return {fm.horizontalAdvance(field->text()), fm.height()};
    return {};
}

Qt::Alignment alignmentOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->alignment();
    if (qobject_cast<const QPushButton*>(w))
        return Qt::AlignCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// The part of the container a widget paints: a label or a check box only its text
// (and box), anything else its whole rectangle.
QRect occupied(const QWidget* w) {
    const bool transparent = !w->autoFillBackground() && (qobject_cast<const QLabel*>(w) != nullptr ||
                                                          qobject_cast<const QCheckBox*>(w) != nullptr);
    const QRect text = textRect(w);
    if (!transparent || text.isEmpty())
        return w->geometry();
    const int left = qobject_cast<const QCheckBox*>(w) != nullptr ? 0 : text.left();
    return QRect(QPoint(left, text.top()), text.bottomRight()).translated(w->pos()).intersected(w->geometry());
}

// Plain containers paint nothing themselves; their children are what stands in the way.
bool paints(const QWidget* w) {
    if (w->metaObject() == &QWidget::staticMetaObject)
        return w->autoFillBackground() || w->testAttribute(Qt::WA_StyledBackground);
    return qobject_cast<const QGroupBox*>(w) == nullptr;
}

// Makes a container at least `extent` long in the direction, growing its own
// containers as far as needed; the window itself keeps its size.
void widen(QWidget* c, int extent, Qt::Orientation direction) {
    const bool right = direction == Qt::Horizontal;
    if ((right ? c->width() : c->height()) >= extent || c->isWindow() || c->parentWidget() == nullptr)
        return;
    QWidget* up = c->parentWidget();
    widen(up, (right ? c->x() : c->y()) + extent, direction);
    if (right)
        c->resize(std::min(extent, up->width() - c->x()), c->height());
    else
        c->resize(c->width(), std::min(extent, up->height() - c->y()));
}

// Moves the controls that follow w (to its right on its line, or below it in its
// column) so that none starts inside what w paints; they keep their order.
void pushFollowers(QWidget* w, Qt::Orientation direction) {
    QWidget* container = w->parentWidget();
    const bool right = direction == Qt::Horizontal;
    const QRect from = occupied(w);
    QList<QWidget*> followers;
    for (QObject* o : container->children()) {
        auto* s = qobject_cast<QWidget*>(o);
        if (s == nullptr || s == w || s->isWindow() || s->isHidden() || !paints(s))
            continue;
        const QRect g = s->geometry();
        // Ahead: starting past w's middle, and beside it across the direction.
        const QPoint middle = w->geometry().center();
        const bool ahead = right ? g.x() > middle.x() && g.top() <= from.bottom() && from.top() <= g.bottom()
                                 : g.y() > middle.y() && g.left() <= from.right() && from.left() <= g.right();
        if (ahead)
            followers << s;
    }
    std::sort(followers.begin(), followers.end(),
              [right](QWidget* a, QWidget* b) { return right ? a->x() < b->x() : a->y() < b->y(); });
    const int gap = right ? kGap : kGap / 2;
    int edge = (right ? from.right() : from.bottom()) + 1 + gap;
    for (QWidget* s : std::as_const(followers)) {
        if ((right ? s->x() : s->y()) >= edge)
            break;
        widen(container, edge + (right ? s->width() : s->height()), direction);
        if (right)
            s->move(std::min(edge, std::max(0, container->width() - s->width())), s->y());
        else
            s->move(s->x(), std::min(edge, std::max(0, container->height() - s->height())));
        const QRect now = occupied(s);
        edge = (right ? now.right() : now.bottom()) + 1 + gap;
    }
}

void fitOne(QWidget* w) {
    QWidget* container = w->parentWidget();
    const QRect room = textRoom(w);
    QSize need = textSize(w, room);
    if (need.isEmpty() || container == nullptr)
        return;
    int width = w->width();
    int height = w->height();
    if (need.width() > room.width()) {
        width += need.width() - room.width();
        widen(container, w->x() + width, Qt::Horizontal);
        width = std::min(width, container->width() - w->x());
    }
    auto* label = qobject_cast<QLabel*>(w);
    if (label != nullptr && !label->wordWrap() && width - w->width() < need.width() - room.width()) {
        // Too long for the line even at the container's edge: wrap it and grow down.
        label->setWordWrap(true);
        width = w->width();
        need = textSize(w, room);
    }
    if (need.height() > room.height()) {
        height += need.height() - room.height();
        widen(container, w->y() + height, Qt::Vertical);
        height = std::min(height, container->height() - w->y());
    }
    const bool taller = height > w->height();
    if (width != w->width() || height != w->height())
        w->resize(width, height);
    pushFollowers(w, Qt::Horizontal);
    if (taller)
        pushFollowers(w, Qt::Vertical);
}

void fitChildren(QWidget* container) {
    QList<QWidget*> children;
    for (QObject* o : container->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow())
            children << w;
    }
    // Left to right, so a pushed control is fitted where it ends up.
    std::stable_sort(children.begin(), children.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    for (QWidget* w : children) {
        fitOne(w);
        fitChildren(w);
    }
}

class Refitter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::StyleChange:
        case QEvent::FontChange:
            if (auto* w = qobject_cast<QWidget*>(watched))
                growToFit(w);
            break;
        default:
            break;
        }
        return false;
    }
};
} // namespace

QRect textRect(const QWidget* w) {
    const QRect room = textRoom(w);
    const QSize need = textSize(w, room);
    if (need.isEmpty())
        return {};
    return QStyle::alignedRect(w->layoutDirection(), alignmentOf(w), need, room);
}

void growToFit(QWidget* window) {
    if (window == nullptr)
        return;
    window->ensurePolished();
    fitChildren(window);
}

void keepFitted(QWidget* window) {
    window->installEventFilter(new Refitter(window));
    growToFit(window);
}

void showIcon(QLabel* label, const QString& resource) {
    // Qt keys its pixmap cache by the pixmap: a pixmap drawn anew for every window
    // would leave a new entry there for every window ever opened.
    const qreal ratio = label->devicePixelRatioF();
    const QString key =
        QStringLiteral("vt-icon:%1:%2x%3@%4").arg(resource).arg(label->width()).arg(label->height()).arg(ratio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        // Asked for a fractional density (1.25, 1.5), Qt hands out the 1x picture,
        // which the screen then magnifies into a blur: the next whole density's
        // picture, scaled down to the pixels the label covers, is sharp.
        const qreal whole = std::ceil(ratio);
        pixmap = QIcon(resource).pixmap(label->size(), whole);
        if (whole != ratio) {
            const QSize pixels(int(label->width() * ratio), int(label->height() * ratio));
            pixmap = pixmap.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            pixmap.setDevicePixelRatio(ratio);
        }
        QPixmapCache::insert(key, pixmap);
    }
    label->setPixmap(pixmap);
}

} // namespace WindowFit
