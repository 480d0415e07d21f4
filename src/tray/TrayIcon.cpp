#include "TrayIcon.h"

#include "Log.h"
#include "Seams.h"

#include <QMenu>

// The icons are compiled into this static library; a resource initialiser in a
// static library is dropped by the linker unless something names it.
static void initTrayIconResources() {
    Q_INIT_RESOURCE(tray_icons);
}

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

TrayIcon::TrayIcon(TrayHostProbe& host, QObject* parent) : QObject(parent), m_host(host) {
    initTrayIconResources();
    connect(&m_watch, &QTimer::timeout, this, &TrayIcon::lookForTray);
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
    return m_host.trayPresent();
}

QSystemTrayIcon& TrayIcon::systemTrayIcon() {
    if (!m_icon)
        build();
    return *m_icon;
}

// The platform icon with the record's look, made once a tray is there, with the
// menu when its host may show it.
void TrayIcon::build() {
    m_icon = std::make_unique<QSystemTrayIcon>();
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &TrayIcon::activate);
    m_onDBus = m_host.itemOnDBus();
    exportMenu();
    m_icon->setIcon(iconFor(m_data.icon));
    m_icon->setToolTip(m_data.tipText());
    if (m_shown)
        m_icon->show();
}

void TrayIcon::exportMenu() {
    if (m_icon)
        m_icon->setContextMenu(m_onDBus ? m_menu.data() : nullptr);
}

void TrayIcon::setMenu(QMenu* menu) {
    m_menu = menu;
    exportMenu();
}

void TrayIcon::apply(const NotifyIconData& data) {
    const bool newLook = data.icon != m_data.icon;
    m_data = data;
    if (!m_icon)
        return;
    // The look is set again every few minutes; an icon made anew each time would leave
    // a new entry in Qt's pixmap cache (keyed by the icon's pixmap) every time.
    if (newLook)
        m_icon->setIcon(iconFor(data.icon));
    m_icon->setToolTip(data.tipText());
}

void TrayIcon::add(const NotifyIconData& data) {
    apply(data);
    m_shown = true;
    if (m_icon)
        m_icon->show();
    else if (m_host.trayPresent())
        build();
}

void TrayIcon::modify(const NotifyIconData& data) {
    apply(data);
}

void TrayIcon::remove() {
    if (m_icon)
        m_icon->hide();
    m_shown = false;
}

void TrayIcon::watchForTray(int graceMs, int pollMs) {
    m_graceMs = graceMs;
    m_saidMissing = false;
    m_hostPolls = 0;
    m_sinceStart.start();
    m_watch.start(pollMs);
}

void TrayIcon::lookForTray() {
    if (!m_host.trayPresent()) {
        if (!m_saidMissing && m_sinceStart.elapsed() >= m_graceMs) {
            m_saidMissing = true;
            // GNOME shows no tray unless an extension adds one: say which.
            const bool gnome = qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("GNOME"));
            qCWarning(lcTray).noquote()
                << QStringLiteral("no system tray found: the program runs on without an icon and notices still pop "
                                  "up; the menu entry's actions (消息盒, 系统设置, 关于我们, 退出) open its windows; "
                                  "the icon appears when a tray does") +
                       (gnome ? QStringLiteral("; on GNOME install and enable the AppIndicator extension (Debian "
                                               "package gnome-shell-extension-appindicator) and log in again")
                              : QString());
        }
        return;
    }
    // A panel that hosts both kinds may own the XEmbed tray a moment before its
    // D-Bus host registers; the icon is made once, so give the host a few polls.
    if (!m_icon && m_host.hostPending() && ++m_hostPolls < 5)
        return;
    m_watch.stop();
    if (m_saidMissing)
        qCWarning(lcTray).noquote() << "a system tray appeared: the icon is shown";
    if (!m_icon)
        build();
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
