#pragma once

#include <QAbstractButton>
#include <QSize>
#include <QWidget>

class QLabel;

// The close button of a tool title bar: a cross, reached with Tab, named for screen readers.
class TitleCloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TitleCloseButton(QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The frame of a fixed tool window drawn by the window itself: a small title bar with the
// window's title and a close button, and a thin border. Window managers that frame every
// window alike (openbox offers minimise and maximise whatever the window asks) never get
// to frame it. A drag on the bar moves the window. The skin styles the bar (ToolTitleBar,
// its QLabel and TitleCloseButton); without one it takes the highlight colours.
class ToolTitleBar : public QWidget {
    Q_OBJECT
public:
    // The bar's height in twips, about that of a small caption.
    static constexpr int kHeightTw = 300;

    // Frames a frameless window: the bar above a client area of the given size, a
    // one-pixel border round both, and the window fixed at the whole. Returns the client
    // area, for the window's own controls.
    static QWidget* frame(QWidget* window, const QSize& client);

    QString caption() const;
    TitleCloseButton* closeButton() const { return m_close; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    explicit ToolTitleBar(QWidget* window);

    QWidget* m_window;
    QLabel* m_caption;
    TitleCloseButton* m_close;
};
