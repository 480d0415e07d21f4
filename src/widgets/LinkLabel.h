#pragma once

#include <QLabel>

// A label the user clicks like a link: reached with Tab, pressed with the left
// button, Enter, Return or Space, and announced to screen readers as a link.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text = {}, QWidget* parent = nullptr);

Q_SIGNALS:
    void activated();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
