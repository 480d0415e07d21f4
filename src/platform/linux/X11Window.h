#pragma once

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <xcb/xcb.h>

// The X connection and a widget's X window, for the few requests Qt has no call for.
namespace X11Window {

// Null when the program does not run on X11 (Wayland, offscreen).
inline xcb_connection_t* connection() {
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

// 0 until the window has its native handle.
inline xcb_window_t of(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr && handle->handle() != nullptr ? static_cast<xcb_window_t>(handle->winId()) : 0;
}

} // namespace X11Window
