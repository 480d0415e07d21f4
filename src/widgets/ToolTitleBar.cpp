#include "ToolTitleBar.h"

#include "WindowMetrics.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWindow>

namespace {
// The bar's look before a skin styles it: the desktop's selection colours.
void paintAsHighlight(QWidget* widget) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    pal.setColor(QPalette::ButtonText, pal.color(QPalette::HighlightedText));
    widget->setPalette(pal);
}
} // namespace

TitleCloseButton::TitleCloseButton(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("TitleCloseButton"));
    // Reached with Tab like the window's other controls, but a click leaves the focus alone.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    setAccessibleName(QStringLiteral("关闭"));
    setToolTip(QStringLiteral("关闭"));
}

QSize TitleCloseButton::sizeHint() const {
    return {16, 16};
}

void TitleCloseButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &p, this);
    const QColor ink = palette().color(QPalette::ButtonText);
    if (isDown() || underMouse()) {
        QColor shade = ink;
        shade.setAlpha(isDown() ? 90 : 50);
        p.fillRect(rect(), shade);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1.5));
    const QRectF cross = QRectF(rect()).adjusted(4.5, 4.5, -4.5, -4.5);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(ink, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

ToolTitleBar::ToolTitleBar(QWidget* window)
    : QWidget(window), m_window(window), m_caption(new QLabel(this)), m_close(new TitleCloseButton(this)) {
    setObjectName(QStringLiteral("ToolTitleBar"));
    paintAsHighlight(this);
    setAutoFillBackground(true);
    m_caption->setObjectName(QStringLiteral("ToolTitleCaption"));
    m_caption->setFont(WindowMetrics::songTi());
    m_caption->setText(window->windowTitle());
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The window's close goes through its close event, as the window manager's would.
    connect(m_close, &QAbstractButton::clicked, m_window, &QWidget::close);
    m_window->installEventFilter(this);
}

QWidget* ToolTitleBar::frame(QWidget* window, const QSize& client) {
    auto* bar = new ToolTitleBar(window);
    const int barHeight = WindowMetrics::toPixels(kHeightTw);
    bar->setGeometry(1, 1, client.width(), barHeight);
    auto* area = new QWidget(window);
    area->setObjectName(QStringLiteral("ToolClientArea"));
    area->setGeometry(1, 1 + barHeight, client.width(), client.height());
    window->setFixedSize(client.width() + 2, client.height() + barHeight + 2);
    return area;
}

QString ToolTitleBar::caption() const {
    return m_caption->text();
}

bool ToolTitleBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        if (event->type() == QEvent::WindowTitleChange) {
            m_caption->setText(m_window->windowTitle());
        } else if (event->type() == QEvent::Paint) {
            // The border, under everything the window paints itself.
            QPainter p(m_window);
            p.setPen(m_window->palette().color(QPalette::Dark));
            p.drawRect(m_window->rect().adjusted(0, 0, -1, -1));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ToolTitleBar::mousePressEvent(QMouseEvent* event) {
    // The window manager moves it, as it would by its own title bar.
    if (event->button() == Qt::LeftButton && m_window->windowHandle() != nullptr &&
        m_window->windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ToolTitleBar::paintEvent(QPaintEvent*) {
    // A skin's background is drawn here; without one the palette's fill shows.
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &p, this);
}

void ToolTitleBar::resizeEvent(QResizeEvent*) {
    const int side = qMax(8, height() - 4);
    m_close->setGeometry(width() - side - 2, (height() - side) / 2, side, side);
    m_caption->setGeometry(5, 0, qMax(0, m_close->x() - 8), height());
}
