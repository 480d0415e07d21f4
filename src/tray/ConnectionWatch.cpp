#include "ConnectionWatch.h"

#include "FailurePolicy.h"
#include "Seams.h"
#include "VbError.h"

#include <limits>
#include <utility>

namespace {

// The counters are signed 32-bit and never reset; raising one past its top is an
// overflow that the tick skips (the counter stays where it is) instead of wrapping.
void raiseTick(qint32& counter) {
    if (counter == std::numeric_limits<qint32>::max())
        throw VbError(VbError::Overflow);
    ++counter;
}

} // namespace

ConnectionWatch::ConnectionWatch(ConnectionProbe& probe, UnreadCount unreadCount, NoticeDownload download,
                                 QObject* parent)
    : QObject(parent), m_probe(probe), m_unreadCount(std::move(unreadCount)), m_download(std::move(download)) {
    m_connectionTimer.setInterval(m_tickMs);
    // The notice timer starts with interval 0 and inactive; the first online tick sets it.
    m_noticeTimer.setInterval(0);
    connect(&m_connectionTimer, &QTimer::timeout, this, &ConnectionWatch::onConnectTick);
    connect(&m_noticeTimer, &QTimer::timeout, this, &ConnectionWatch::onNoticeTick);
}

void ConnectionWatch::start() {
    if (!m_connectionTimer.isActive())
        m_connectionTimer.start();
}

void ConnectionWatch::StartNoticeTimer() {
    // Every online tick calls this; QTimer::setInterval restarts a running timer, and
    // restarting it each second would keep it from ever firing. Only a changed
    // interval or a stopped timer is touched.
    if (m_noticeTimer.interval() != m_tickMs)
        m_noticeTimer.setInterval(m_tickMs);
    if (!m_noticeTimer.isActive())
        m_noticeTimer.start();
}

void ConnectionWatch::StopNoticeTimer() {
    m_noticeTimer.stop();
}

bool ConnectionWatch::QueryConnection(QString* name) {
    bool connected = false;
    QString found;
    const int err = jumpToHandler(lcNet, "query the connection", [&] { connected = m_probe.isConnected(&found); });
    if (err != 0)
        return false;
    if (name)
        *name = connected ? found : QString();
    return connected;
}

QVariantList ConnectionWatch::ConnectionState() {
    return {QVariant(QueryConnection())};
}

void ConnectionWatch::onConnectTick() {
    resumeNext(lcNet, "count a connection tick", [&] { raiseTick(m_connectTicks); });

    bool connected = false;
    resumeNext(lcNet, "read the connection state", [&] { connected = ConnectionState().value(0).toBool(); });

    if (connected) {
        resumeNext(lcNet, "start the notice timer", [&] { StartNoticeTimer(); });
        resumeNext(lcNet, "refresh the unread look", [&] {
            if (m_connectTicks % kUnreadRefreshTicks != 0)
                return;
            const qint64 unread = m_unreadCount();
            // Two or more unread notices, not one or more: a single unread notice
            // leaves the normal look.
            Q_EMIT iconStateRequested(unread - 1 > 0 ? TrayIconState::Unread : TrayIconState::Normal);
        });
    } else {
        resumeNext(lcNet, "stop the notice timer", [&] { StopNoticeTimer(); });
        resumeNext(lcNet, "show the offline look", [&] { Q_EMIT iconStateRequested(TrayIconState::Offline); });
    }
}

void ConnectionWatch::onNoticeTick() {
    resumeNext(lcNet, "count a notice tick", [&] { raiseTick(m_noticeTicks); });
    resumeNext(lcNet, "download the notice", [&] {
        if (m_noticeTicks % m_downloadTicks != 0)
            return;
        if (m_download())
            Q_EMIT newNoticeAvailable();
    });
}
