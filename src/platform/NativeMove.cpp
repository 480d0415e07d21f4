#include "NativeMove.h"

#include <QGuiApplication>
#include <QPoint>
#include <QWidget>
#include <QWindow>
#include <xcb/xcb.h>

namespace {
xcb_connection_t* x11Connection() {
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t nativeWindow(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr && handle->handle() != nullptr ? static_cast<xcb_window_t>(handle->winId()) : 0;
}
} // namespace

namespace NativeMove {

bool moveFrame(QWidget* window, const QPoint& at) {
    xcb_connection_t* connection = x11Connection();
    const xcb_window_t id = nativeWindow(window);
    if (connection == nullptr || id == 0 || !window->isVisible())
        return false;
    // The window was placed frame and all, so Qt asked the window manager for
    // north-west gravity: the requested corner is the frame's.
    const uint32_t values[] = {static_cast<uint32_t>(at.x()), static_cast<uint32_t>(at.y())};
    xcb_configure_window(connection, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(connection);
    return true;
}

void keepHiddenPixels(QWidget* window) {
    xcb_connection_t* connection = x11Connection();
    const xcb_window_t id = nativeWindow(window);
    if (connection == nullptr || id == 0)
        return;
    const uint32_t always = XCB_BACKING_STORE_ALWAYS;
    xcb_change_window_attributes(connection, id, XCB_CW_BACKING_STORE, &always);
}

} // namespace NativeMove
