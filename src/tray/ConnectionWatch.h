#pragma once

#include "TickInterval.h"
#include "TrayIconState.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <functional>

class ConnectionProbe;

// The host's two periodic timers. The connection timer asks once a tick whether the
// machine is online, keeps the notice timer running only while it is, refreshes the
// unread look every 300 ticks and shows the offline look on every offline tick. The
// notice timer downloads notices every 600 of its own ticks (noticeDownloadTicks) and
// asks for a new pop-up when the download finds one. No widgets here: the host turns the signals into the
// icon and the pop-up window.
class ConnectionWatch : public QObject {
    Q_OBJECT

public:
    using UnreadCount = std::function<qint64()>;
    using NoticeDownload = std::function<bool()>;

    static constexpr qint32 kUnreadRefreshTicks = 300;

    // unreadCount gives the number of unread notices; download fetches the newest
    // notice and answers true when a pop-up should show it.
    ConnectionWatch(ConnectionProbe& probe, UnreadCount unreadCount, NoticeDownload download,
                    QObject* parent = nullptr);

    // Starts the connection timer; it runs from then on.
    void start();

    void StartNoticeTimer();
    void StopNoticeTimer();

    // True when the probe reports a connection; a failing probe counts as offline.
    // name receives the connection's name when given.
    bool QueryConnection(QString* name = nullptr);
    // A list whose element 0 is the connected flag.
    QVariantList ConnectionState();

    qint32 connectTicks() const { return m_connectTicks; }
    qint32 noticeTicks() const { return m_noticeTicks; }
    const QTimer& connectionTimer() const { return m_connectionTimer; }
    const QTimer& noticeTimer() const { return m_noticeTimer; }

public Q_SLOTS:
    // Timer_InternetConnected's tick.
    void onConnectTick();
    // ServerNewNotice's tick.
    void onNoticeTick();

Q_SIGNALS:
    void iconStateRequested(TrayIconState state);
    // The download found a new notice: the host opens a new pop-up window for it.
    void newNoticeAvailable();

private:
    ConnectionProbe& m_probe;
    UnreadCount m_unreadCount;
    NoticeDownload m_download;
    const int m_tickMs = oneSecondTickMs();
    const qint32 m_downloadTicks = noticeDownloadTicks();
    QTimer m_connectionTimer;
    QTimer m_noticeTimer;
    qint32 m_connectTicks = 0;
    qint32 m_noticeTicks = 0;
};
