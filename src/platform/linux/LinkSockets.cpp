#include "LinkSockets.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace LinkSockets {

namespace {

bool toSockaddr(const QByteArray& address, sockaddr_un* addr, socklen_t* length) {
    *addr = {};
    addr->sun_family = AF_UNIX;
    const bool abstract = address.startsWith('\0');
    // A path needs room for its NUL; an abstract name is counted exactly.
    const size_t size = size_t(address.size()) + (abstract ? 0 : 1);
    if (address.isEmpty() || size > sizeof(addr->sun_path))
        return false;
    std::memcpy(addr->sun_path, address.constData(), size_t(address.size()));
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + size);
    return true;
}

} // namespace

int listenAt(const QByteArray& address, int* error) {
    sockaddr_un addr;
    socklen_t length = 0;
    if (!toSockaddr(address, &addr, &length)) {
        *error = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

Reach connectTo(const QByteArray& address, int timeoutMs, int* fd) {
    sockaddr_un addr;
    socklen_t length = 0;
    if (!toSockaddr(address, &addr, &length))
        return Reach::NoPartner;
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return Reach::Failed;
    if (timeoutMs >= 0) {
        // A full queue makes connect wait; the send time-out bounds that wait.
        const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000 + (timeoutMs == 0 ? 1 : 0)};
        ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    }
    int rc = 0;
    do
        rc = ::connect(s, reinterpret_cast<const sockaddr*>(&addr), length);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(s);
        if (err == ENOENT || err == ECONNREFUSED || err == ENOTDIR)
            return Reach::NoPartner;
        return err == EAGAIN || err == EINPROGRESS || err == ETIMEDOUT ? Reach::Busy : Reach::Failed;
    }
    const timeval none{0, 0};
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof(none));
    *fd = s;
    return Reach::Connected;
}

long long peerUid(int fd) {
    ucred cred{};
    socklen_t length = sizeof(cred);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 || length != sizeof(cred))
        return -1;
    return cred.uid;
}

bool peerIsThisUser(int fd) {
    return peerUid(fd) == static_cast<long long>(::getuid());
}

void closeFd(int fd) {
    if (fd >= 0)
        ::close(fd);
}

} // namespace LinkSockets
