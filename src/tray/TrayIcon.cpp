#include "TrayIcon.h"

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

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    initTrayIconResources();
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::activate);
}

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

void TrayIcon::apply(const NotifyIconData& data) {
    m_data = data;
    m_icon.setIcon(iconFor(data.icon));
    m_icon.setToolTip(data.tipText());
}

void TrayIcon::add(const NotifyIconData& data) {
    apply(data);
    m_icon.show();
    m_shown = true;
}

void TrayIcon::modify(const NotifyIconData& data) {
    apply(data);
}

void TrayIcon::remove() {
    m_icon.hide();
    m_shown = false;
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
