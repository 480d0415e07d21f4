#pragma once

#include "NotifyIconData.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

// What a notification of the icon asks for.
enum class TrayClick { None, OpenDefaultPlayer, ShowMenu };
// A single left click opens the player, a right click the menu; nothing else acts.
TrayClick decodeActivation(QSystemTrayIcon::ActivationReason reason);

// The notification-area icon. Add, modify and delete keep the meaning of the icon
// record: a modify on a deleted icon changes the record but shows nothing.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);

    static QIcon iconFor(TrayIconState state);

    void add(const NotifyIconData& data);
    void modify(const NotifyIconData& data);
    void remove();

    bool isShown() const { return m_shown; }
    const NotifyIconData& data() const { return m_data; }
    QSystemTrayIcon& systemTrayIcon() { return m_icon; }

    // Feeds one notification in as the platform would deliver it.
    void activate(QSystemTrayIcon::ActivationReason reason);

Q_SIGNALS:
    void openDefaultPlayerRequested();
    void menuRequested();

private:
    void apply(const NotifyIconData& data);

    QSystemTrayIcon m_icon;
    NotifyIconData m_data;
    bool m_shown = false;
};
