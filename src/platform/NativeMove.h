#pragma once

#include <QtGlobal>

class QPoint;
class QWidget;

// Moves for a top-level window that moves every few milliseconds (the pop-up's rise
// and sink). On X11, QWidget::move rewrites the window's size hints on every call and
// the window manager answers each rewrite with work of its own; one configure request
// moves the window all the same. The window manager's answer to such a move only
// confirms the place asked for: it is not handed to Qt, which would otherwise ask the
// server for the frame again on every step. Qt learns the place when the window comes
// to rest (settle) or whenever the window is somewhere else than asked.
namespace NativeMove {

// Moves the window's frame so that its top-left corner is at `at`, with one request
// to the X server. The window must have been placed with QWidget::move before it was
// shown (its position then includes the frame). False when the window is not shown
// on X11: the caller moves it the Qt way.
bool moveFrame(QWidget* window, const QPoint& at);

// The window is at rest at `at` (its frame's corner): asks for that place once more
// and lets the answer through, so that Qt knows where the window is.
void settle(QWidget* window, const QPoint& at);

// Forgets the window's last move (it is going away).
void forget(QWidget* window);

// Asks the X server to keep the window's pixels where the screen's edge cuts it off,
// so that a window sliding into view is not sent again strip by strip. Call before the
// window is mapped (in its show event); nothing happens elsewhere than on X11.
void keepHiddenPixels(QWidget* window);

// What the filter decides, open to tests: the move of window `id` to client position
// (x, y) was asked for last; an xcb event is the window manager's confirmation of it
// (a synthetic ConfigureNotify of that window at exactly that place).
void expectConfirmation(quint32 id, int x, int y);
void forgetConfirmation(quint32 id);
bool isConfirmation(const void* xcbEvent);

} // namespace NativeMove
