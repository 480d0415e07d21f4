#pragma once

#include "NotifyIconData.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

class QMenu;
class TrayHostProbe;

// What a notification of the icon asks for.
enum class TrayClick { None, OpenDefaultPlayer, ShowMenu };
// A single left click opens the player, a right click the menu; nothing else acts.
TrayClick decodeActivation(QSystemTrayIcon::ActivationReason reason);

// The notification-area icon. Add, modify and delete keep the meaning of the icon
// record: a modify on a deleted icon changes the record but shows nothing.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // host says whether the desktop has a tray and of which kind.
    explicit TrayIcon(TrayHostProbe& host, QObject* parent = nullptr);
    ~TrayIcon() override;

    static QIcon iconFor(TrayIconState state);

    void add(const NotifyIconData& data);
    void modify(const NotifyIconData& data);
    void remove();

    bool isShown() const { return m_shown; }
    const NotifyIconData& data() const { return m_data; }
    // The platform icon, made on first use when no tray has made it yet.
    QSystemTrayIcon& systemTrayIcon();
    // Whether the platform icon exists: it is made once a tray is there, since Qt
    // decides for good at the first icon whether icons go to a D-Bus host.
    bool hasPlatformIcon() const { return m_icon != nullptr; }

    // The menu a D-Bus tray host may show by itself. An XEmbed icon never gets it:
    // there the program pops the menu up on a right click.
    void setMenu(QMenu* menu);

    // From start on, looks for a tray every pollMs: says once when none was found
    // after graceMs and once more when one appears, makes the icon then, and stops.
    void watchForTray(int graceMs, int pollMs);
    bool isWatchingForTray() const { return m_watch.isActive(); }

    // A system tray is there to show the icon (an XEmbed tray or a StatusNotifierWatcher).
    bool trayPresent() const;

    // Feeds one notification in as the platform would deliver it.
    void activate(QSystemTrayIcon::ActivationReason reason);

Q_SIGNALS:
    void openDefaultPlayerRequested();
    void menuRequested();

private:
    void build();
    void apply(const NotifyIconData& data);
    void exportMenu();
    void lookForTray();

    std::unique_ptr<QSystemTrayIcon> m_icon;
    NotifyIconData m_data;
    bool m_shown = false;
    bool m_onDBus = false;
    QPointer<QMenu> m_menu;
    TrayHostProbe& m_host;
    QTimer m_watch;
    QElapsedTimer m_sinceStart;
    int m_graceMs = 0;
    bool m_saidMissing = false;
    int m_hostPolls = 0;
};
