#include "SingleInstance.h"

#include "LinkFolder.h"
#include "LinkSockets.h"
#include "Log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kLockName = QStringLiteral("VantobelPlayTray.lock");

// A lock file inside the private folder: flock, so a dead tray never leaves a stale lock.
int lockInFolder(const LinkFolder& folder, bool* held) {
    const int fd =
        ::openat(folder.fd(), kLockName.toUtf8().constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return fd;
    *held = errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
}

// Without a folder the lock is a bound abstract socket: binding a name succeeds once.
// Anyone may bind it first, so a name held by another user guards nothing.
int lockByName(const LinkFolder& folder, bool* held) {
    const QByteArray address = folder.address(kLockName);
    int error = 0;
    const int fd = LinkSockets::listenAt(address, &error);
    if (fd >= 0 || error != EADDRINUSE)
        return fd;
    int peer = -1;
    const LinkSockets::Reach reach = LinkSockets::connectTo(address, 1000, &peer);
    const bool ours = reach != LinkSockets::Reach::Connected || LinkSockets::peerIsThisUser(peer);
    LinkSockets::closeFd(peer);
    if (ours) {
        *held = true;
        return -1;
    }
    qCWarning(lcLink).noquote() << folder.describe(kLockName)
                                << "is held by another user; this tray runs without the one-tray guard";
    *held = false;
    errno = 0;
    return -1;
}

} // namespace

SingleInstance::SingleInstance(std::shared_ptr<const LinkFolder> folder) : m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() {
    release();
}

std::shared_ptr<const LinkFolder> SingleInstance::folder() const {
    return m_folder ? m_folder : LinkFolder::process();
}

QString SingleInstance::lockPath() const {
    return folder()->describe(kLockName);
}

bool SingleInstance::tryAcquire() {
    if (m_fd >= 0)
        return true;
    const std::shared_ptr<const LinkFolder> place = folder();
    bool held = false;
    m_fd = place->isFolder() ? lockInFolder(*place, &held) : lockByName(*place, &held);
    if (m_fd >= 0 || held)
        return m_fd >= 0;
    // The lock cannot be made at all (no descriptors, a full disk): rather run than
    // lose the command line; the message says why this tray is unguarded.
    if (errno != 0)
        qCWarning(lcLink).noquote() << "cannot take the one-tray lock" << lockPath() << "-" << std::strerror(errno)
                                    << "- running unguarded";
    return true;
}

void SingleInstance::release() {
    LinkSockets::closeFd(m_fd);
    m_fd = -1;
}
