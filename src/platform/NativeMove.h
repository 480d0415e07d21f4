#pragma once

class QPoint;
class QWidget;

// Moves for a top-level window that moves every few milliseconds (the pop-up's rise
// and sink). On X11, QWidget::move rewrites the window's size hints on every call and
// the window manager answers each rewrite with work of its own; one configure request
// moves the window all the same, and Qt still learns the new place from the server.
namespace NativeMove {

// Moves the window's frame so that its top-left corner is at `at`, with one request
// to the X server. The window must have been placed with QWidget::move before it was
// shown (its position then includes the frame). False when the window is not shown
// on X11: the caller moves it the Qt way.
bool moveFrame(QWidget* window, const QPoint& at);

// Asks the X server to keep the window's pixels where the screen's edge cuts it off,
// so that a window sliding into view is not sent again strip by strip. Call before the
// window is mapped (in its show event); nothing happens elsewhere than on X11.
void keepHiddenPixels(QWidget* window);

} // namespace NativeMove
