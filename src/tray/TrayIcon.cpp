#include "TrayIcon.h"

#include "Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QMenu>

// The icons are compiled into this static library; a resource initialiser in a
// static library is dropped by the linker unless something names it.
static void initTrayIconResources() {
    Q_INIT_RESOURCE(tray_icons);
}

namespace {
bool statusNotifierWatcherRegistered() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

bool onXcb() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}
} // namespace

TrayClick decodeActivation(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    // Every left-button release opens the player; on X11 the second click of a
    // quick pair arrives as DoubleClick instead of Trigger.
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
        return TrayClick::OpenDefaultPlayer;
    case QSystemTrayIcon::Context:
        return TrayClick::ShowMenu;
    default:
        return TrayClick::None;
    }
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    initTrayIconResources();
    connect(&m_watch, &QTimer::timeout, this, &TrayIcon::lookForTray);
    build();
}

TrayIcon::~TrayIcon() = default;

QIcon TrayIcon::iconFor(TrayIconState state) {
    switch (state) {
    case TrayIconState::Unread:
        return QIcon(QStringLiteral(":/tray/tray-unread.png"));
    case TrayIconState::Offline:
        return QIcon(QStringLiteral(":/tray/tray-offline.png"));
    case TrayIconState::Normal:
        break;
    }
    return QIcon(QStringLiteral(":/tray/tray-normal.png"));
}

bool TrayIcon::trayPresent() const {
    if (m_desktop.trayPresent)
        return m_desktop.trayPresent();
    if (statusNotifierWatcherRegistered())
        return true;
    // Without a watcher Qt only looks for an XEmbed tray, which exists only on X11.
    return onXcb() && QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::itemOnDBus() const {
    if (m_desktop.itemOnDBus)
        return m_desktop.itemOnDBus();
    // As Qt decides when the icon is made: on X11 a StatusNotifierItem only while a
    // watcher runs, on Wayland always (it registers once a watcher comes).
    if (onXcb())
        return statusNotifierWatcherRegistered();
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// A fresh platform icon, with the menu when its host may show it.
void TrayIcon::build() {
    auto icon = std::make_unique<QSystemTrayIcon>();
    connect(icon.get(), &QSystemTrayIcon::activated, this, &TrayIcon::activate);
    m_icon = std::move(icon);
    m_onDBus = itemOnDBus();
    exportMenu();
}

void TrayIcon::exportMenu() {
    m_icon->setContextMenu(m_onDBus ? m_menu.data() : nullptr);
}

void TrayIcon::setMenu(QMenu* menu) {
    m_menu = menu;
    exportMenu();
}

void TrayIcon::setDesktop(TrayDesktop desktop) {
    m_desktop = std::move(desktop);
    m_onDBus = itemOnDBus();
    exportMenu();
}

void TrayIcon::apply(const NotifyIconData& data) {
    m_data = data;
    m_icon->setIcon(iconFor(data.icon));
    m_icon->setToolTip(data.tipText());
}

void TrayIcon::add(const NotifyIconData& data) {
    apply(data);
    m_icon->show();
    m_shown = true;
}

void TrayIcon::modify(const NotifyIconData& data) {
    apply(data);
}

void TrayIcon::remove() {
    m_icon->hide();
    m_shown = false;
}

void TrayIcon::watchForTray(int graceMs, int pollMs) {
    m_graceMs = graceMs;
    m_saidMissing = false;
    m_sinceStart.start();
    m_watch.start(pollMs);
}

void TrayIcon::lookForTray() {
    if (!trayPresent()) {
        if (!m_saidMissing && m_sinceStart.elapsed() >= m_graceMs) {
            m_saidMissing = true;
            qCWarning(lcTray).noquote() << "no system tray found: the program runs on without an icon and "
                                           "notices still pop up; the icon appears when a tray does";
        }
        return;
    }
    m_watch.stop();
    if (m_saidMissing)
        qCWarning(lcTray).noquote() << "a system tray appeared: the icon is shown";
    // An XEmbed icon waits for an XEmbed tray by itself; a D-Bus host that came
    // later needs an icon made while it runs.
    if (!m_onDBus && itemOnDBus()) {
        build();
        apply(m_data);
        if (m_shown)
            m_icon->show();
    }
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    switch (decodeActivation(reason)) {
    case TrayClick::OpenDefaultPlayer:
        Q_EMIT openDefaultPlayerRequested();
        break;
    case TrayClick::ShowMenu:
        Q_EMIT menuRequested();
        break;
    case TrayClick::None:
        break;
    }
}
