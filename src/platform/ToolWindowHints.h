#pragma once

class QWidget;

// A small tool window that the desktop lists nowhere: no taskbar button and no pager
// entry (the pop-ups; a family left three buttons behind by three notices). Qt makes
// a Qt::Tool window a utility window but says nothing to the taskbar.
namespace ToolWindowHints {

// Asks the window manager to keep the window off the taskbar and the pager. Call
// before the window is mapped (in its show event); Qt merges these states with its
// own when it maps the window. Nothing happens elsewhere than on X11.
void skipTaskbarAndPager(QWidget* window);

// Asks the window manager for no frame of its own (the window draws its title bar) and,
// of what it may do to the window, only moving and closing it: no minimise, no maximise.
// Call in the show event, and again after a change of the window's flags, which makes
// Qt write its own Motif hints. Nothing happens elsewhere than on X11.
void moveAndCloseOnly(QWidget* window);

// Whether the window manager may give the window the keyboard focus. A window that
// rises while the user types asks for none before it is mapped (some compositors, sway
// for one, focus every new window that does not say so) and takes its ordinary
// answer back once at rest, so that a click can then focus it. Nothing happens
// elsewhere than on X11.
void takesFocus(QWidget* window, bool takes);

} // namespace ToolWindowHints
