#include "LinkClient.h"

#include "LinkFolder.h"
#include "LinkSockets.h"
#include "Log.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waits for fd to become ready for events; false on time-out or error.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline, bool* timedOut) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, deadline.isForever() ? -1 : int(deadline.remainingTime()));
        if (rc > 0)
            return true;
        if (rc == 0) {
            *timedOut = true;
            return false;
        }
        if (errno != EINTR)
            return false;
    }
}

int exchange(int fd, const QByteArray& frame, const QDeadlineTimer& deadline) {
    bool timedOut = false;
    for (qsizetype sent = 0; sent < frame.size();) {
        if (!waitFor(fd, POLLOUT, deadline, &timedOut))
            return timedOut ? kLinkTimedOut : kLinkRefused;
        const ssize_t n =
            ::send(fd, frame.constData() + sent, size_t(frame.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return kLinkRefused;
        sent += n > 0 ? n : 0;
    }
    for (;;) {
        if (!waitFor(fd, POLLIN, deadline, &timedOut))
            return timedOut ? kLinkTimedOut : kLinkRefused;
        char answer = 1;
        const ssize_t n = ::recv(fd, &answer, 1, MSG_DONTWAIT);
        if (n == 1)
            return answer == 0 ? kLinkAccepted : kLinkRefused;
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return kLinkRefused;
    }
}

} // namespace

int linkExecute(const QString& topic, const QString& command, int timeoutMs,
                const std::shared_ptr<const LinkFolder>& folder) {
    const QByteArray payload = command.toUtf8();
    if (payload.size() > kLinkMaxCommandBytes)
        return kLinkTooLong;
    const std::shared_ptr<const LinkFolder> place = folder ? folder : LinkFolder::process();
    const QByteArray address = place->address(topic);
    if (address.isEmpty())
        return kLinkNoPartner;

    const QDeadlineTimer deadline(timeoutMs < 0 ? -1 : timeoutMs);
    int fd = -1;
    switch (LinkSockets::connectTo(address, timeoutMs, &fd)) {
    case LinkSockets::Reach::Connected:
        break;
    case LinkSockets::Reach::NoPartner:
        return kLinkNoPartner;
    case LinkSockets::Reach::Busy:
        return kLinkTimedOut;
    case LinkSockets::Reach::Failed:
        return kLinkRefused;
    }
    // The command may carry the user's sign-in data: never to another user's socket.
    if (const long long uid = LinkSockets::peerUid(fd); uid != static_cast<long long>(::getuid())) {
        qCWarning(lcLink).noquote() << "not sending to" << place->describe(topic) << "- it belongs to uid" << uid;
        ::close(fd);
        return kLinkRefused;
    }
    const int result = exchange(fd, encodeLinkFrame(payload), deadline);
    ::close(fd);
    return result;
}
