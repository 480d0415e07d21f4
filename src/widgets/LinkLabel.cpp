#include "LinkLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <mutex>

namespace {
class LinkLabelAccessible : public QAccessibleWidget {
public:
    explicit LinkLabelAccessible(LinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = static_cast<const LinkLabel*>(widget())->text();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction())
            Q_EMIT static_cast<LinkLabel*>(widget())->activated();
    }
};

QAccessibleInterface* linkLabelFactory(const QString&, QObject* object) {
    if (auto* label = qobject_cast<LinkLabel*>(object))
        return new LinkLabelAccessible(label);
    return nullptr;
}
} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(linkLabelFactory); });
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        Q_EMIT activated();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Space:
        event->accept();
        Q_EMIT activated();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void LinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // Where the keyboard is: a focus frame round the text.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    const QRect text = QStyle::alignedRect(layoutDirection(), alignment(),
                                           QSize(fontMetrics().horizontalAdvance(this->text()), fontMetrics().height()),
                                           contentsRect());
    option.rect = text.adjusted(-1, 0, 1, 0).intersected(rect());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
