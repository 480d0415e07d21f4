#include "LinuxTrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

bool statusNotifierWatcherRegistered() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(kWatcherService).value();
}

// Qt makes a StatusNotifierItem on X11 only once a host has registered with the watcher.
bool statusNotifierHostRegistered() {
    if (!statusNotifierWatcherRegistered())
        return false;
    QDBusInterface watcher(kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
                           QDBusConnection::sessionBus());
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

bool onXcb() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// An XEmbed tray owns the screen's system tray selection. Asked without Qt, whose
// answer is made once and kept: asked before a D-Bus host came, Qt would make every
// later icon an XEmbed one.
bool xembedTrayPresent() {
    const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    static const char kSelection[] = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kSelection - 1, kSelection), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}
} // namespace

bool LinuxTrayHost::trayPresent() {
    if (statusNotifierWatcherRegistered())
        return true;
    if (onXcb())
        return xembedTrayPresent();
    // Wayland knows only D-Bus hosts; elsewhere Qt's own answer is sound.
    if (onWayland())
        return false;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool LinuxTrayHost::itemOnDBus() {
    // As Qt decides when the icon is made: on X11 a StatusNotifierItem only while a
    // host is registered, on Wayland always (it registers once a watcher comes).
    if (onXcb())
        return statusNotifierHostRegistered();
    return onWayland();
}

bool LinuxTrayHost::hostPending() {
    return onXcb() && statusNotifierWatcherRegistered() && !statusNotifierHostRegistered();
}
