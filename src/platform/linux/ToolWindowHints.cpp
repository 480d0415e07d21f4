#include "ToolWindowHints.h"
#include "X11Window.h"

#include <QGuiApplication>
#include <QList>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>

namespace {
// The 32-bit items of a property, empty when it is missing.
QList<quint32> property(xcb_connection_t* connection, xcb_window_t id, xcb_atom_t name, xcb_atom_t type) {
    QList<quint32> items;
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, id, name, type, 0, 64);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (reply == nullptr)
        return items;
    if (reply->format == 32) {
        const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply));
        items = QList<quint32>(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return items;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (reply == nullptr)
        return XCB_ATOM_NONE;
    const xcb_atom_t value = reply->atom;
    std::free(reply);
    return value;
}
} // namespace

namespace ToolWindowHints {

void skipTaskbarAndPager(QWidget* window) {
    xcb_connection_t* connection = X11Window::connection();
    const xcb_window_t id = X11Window::of(window);
    if (connection == nullptr || id == 0)
        return;
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip[] = {atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                               atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || skip[0] == XCB_ATOM_NONE || skip[1] == XCB_ATOM_NONE)
        return;
    // Appended: the property of an unmapped window is the client's to set, and Qt
    // keeps what it finds there when it adds its own states at mapping.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 2, skip);
    xcb_flush(connection);
}

void moveAndCloseOnly(QWidget* window) {
    xcb_connection_t* connection = X11Window::connection();
    const xcb_window_t id = X11Window::of(window);
    if (connection == nullptr || id == 0)
        return;
    const xcb_atom_t motif = atom(connection, "_MOTIF_WM_HINTS");
    if (motif == XCB_ATOM_NONE)
        return;
    // Flags: functions and decorations given. Functions: move (4) and close (32).
    // Decorations: none.
    const quint32 hints[5] = {1 | 2, 4 | 32, 0, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, motif, motif, 32, 5, hints);
    xcb_flush(connection);
}

void takesFocus(QWidget* window, bool takes) {
    xcb_connection_t* connection = X11Window::connection();
    const xcb_window_t id = X11Window::of(window);
    if (connection == nullptr || id == 0)
        return;
    // ICCCM: no input and no WM_TAKE_FOCUS is a window that never wants the focus.
    QList<quint32> hints = property(connection, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS);
    hints.resize(9, 0);
    hints[0] |= 1; // the input field is set
    hints[1] = takes ? 1 : 0;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                        hints.constData());
    const xcb_atom_t protocolsName = atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t takeFocus = atom(connection, "WM_TAKE_FOCUS");
    if (protocolsName != XCB_ATOM_NONE && takeFocus != XCB_ATOM_NONE) {
        QList<quint32> protocols = property(connection, id, protocolsName, XCB_ATOM_ATOM);
        protocols.removeAll(takeFocus);
        if (takes)
            protocols.append(takeFocus);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, protocolsName, XCB_ATOM_ATOM, 32,
                            uint32_t(protocols.size()), protocols.constData());
    }
    xcb_flush(connection);
}

} // namespace ToolWindowHints
