#include "LinkServer.h"

#include "LinkFolder.h"
#include "LinkSockets.h"
#include "Log.h"

#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PendingCommand {
    QByteArray buffer;
    bool done = false;
};

// Shortages that pass by themselves once something is given back.
bool isShortage(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// Makes probing and binding one step against other processes of this user: two of
// them finding the same stale file must not remove each other's fresh socket.
class FolderGuard {
public:
    explicit FolderGuard(int fd) : m_fd(fd) {
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderGuard() {
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_UN);
    }
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;

private:
    int m_fd;
};

constexpr int kFirstRetryMs = 10;
constexpr int kLongestRetryMs = 1000;

} // namespace

LinkServer::LinkServer(QObject* parent, std::shared_ptr<const LinkFolder> folder)
    : QObject(parent), m_folder(folder ? std::move(folder) : LinkFolder::process()) {
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &LinkServer::retry);
}

LinkServer::~LinkServer() {
    close();
}

bool LinkServer::listen(const QString& topic) {
    close();
    m_topic = topic;
    if (m_folder->address(topic).isEmpty())
        return false;
    int error = 0;
    switch (bindSocket(&error)) {
    case Bind::Listening:
        m_keep = true;
        return true;
    case Bind::Busy:
        // Another live server (or a file that is no socket) holds the name: the
        // folder watch takes it over once it goes.
        m_keep = true;
        troubled(QStringLiteral("cannot listen on"), error);
        return false;
    case Bind::Transient:
        m_keep = true;
        troubled(QStringLiteral("cannot listen on"), error);
        retrySoon(kFirstRetryMs);
        return false;
    }
    return false;
}

void LinkServer::close() {
    m_keep = false;
    m_retryTimer.stop();
    m_retryDelayMs = 0;
    m_troubled = false;
    m_watchNotifier.reset();
    LinkSockets::closeFd(m_watchFd);
    m_watchFd = -1;
    stopListening(true);
}

bool LinkServer::isListening() const {
    return m_listenFd >= 0;
}

LinkServer::Bind LinkServer::bindSocket(int* error) {
    const QByteArray address = m_folder->address(m_topic);
    const QByteArray name = QFile::encodeName(m_topic);
    const int dirFd = m_folder->fd();
    const FolderGuard guard(dirFd);
    int fd = LinkSockets::listenAt(address, error);
    if (fd < 0 && *error == EADDRINUSE && m_folder->isFolder()) {
        // A socket file whose server is gone refuses connections: it is stale and
        // replaced. A live one (even with a full queue) and anything else stay.
        struct stat st {};
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode)) {
            int probe = -1;
            const LinkSockets::Reach reach = LinkSockets::connectTo(address, 0, &probe);
            LinkSockets::closeFd(probe);
            if (reach == LinkSockets::Reach::NoPartner &&
                (::unlinkat(dirFd, name.constData(), 0) == 0 || errno == ENOENT))
                fd = LinkSockets::listenAt(address, error);
        }
    }
    if (fd < 0) {
        if (isShortage(*error))
            return Bind::Transient;
        watchFolder(); // the name may come free later
        return Bind::Busy;
    }
    m_listenFd = fd;
    struct stat st {};
    m_inode = m_folder->isFolder() && ::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? st.st_ino : 0;
    m_acceptNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_acceptNotifier.get(), &QSocketNotifier::activated, this, &LinkServer::acceptPending);
    watchFolder();
    return Bind::Listening;
}

void LinkServer::stopListening(bool removeFile) {
    m_acceptNotifier.reset();
    if (m_listenFd < 0)
        return;
    if (removeFile && ownsSocketFile())
        ::unlinkat(m_folder->fd(), QFile::encodeName(m_topic).constData(), 0);
    LinkSockets::closeFd(m_listenFd);
    m_listenFd = -1;
}

bool LinkServer::ownsSocketFile() const {
    struct stat st {};
    return m_folder->isFolder() &&
           ::fstatat(m_folder->fd(), QFile::encodeName(m_topic).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISSOCK(st.st_mode) && st.st_ino == m_inode;
}

void LinkServer::acceptPending() {
    const QPointer<LinkServer> self(this);
    while (self && m_listenFd >= 0) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            if (m_troubled) {
                qCWarning(lcLink).noquote() << "link" << m_folder->describe(m_topic) << "is answering again";
                m_troubled = false;
                m_retryDelayMs = 0;
            }
            // Anyone may reach an abstract name; only this user's commands count.
            if (!LinkSockets::peerIsThisUser(fd)) {
                qCDebug(lcLink) << "dropped a link client of uid" << LinkSockets::peerUid(fd);
                ::close(fd);
                continue;
            }
            serve(fd);
            continue;
        }
        const int error = errno;
        if (error == EINTR || error == ECONNABORTED)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        if (isShortage(error)) {
            // The waiting clients stay queued; a level-triggered notifier would spin.
            m_acceptNotifier->setEnabled(false);
            troubled(QStringLiteral("cannot accept on"), error);
            retrySoon(m_retryDelayMs ? std::min(m_retryDelayMs * 2, kLongestRetryMs) : kFirstRetryMs);
            return;
        }
        troubled(QStringLiteral("lost"), error);
        stopListening(true);
        retrySoon(kFirstRetryMs);
        return;
    }
}

void LinkServer::serve(int fd) {
    // Not a child of the server: a command may delete the server while its own
    // connection is still answering.
    auto* socket = new QLocalSocket;
    if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
        ::close(fd);
        delete socket;
        return;
    }
    // A connection given back is a descriptor free: the queue may go on at once.
    connect(socket, &QObject::destroyed, this, [this] {
        if (m_keep && !m_retryTimer.isActive() &&
            (m_listenFd < 0 || (m_acceptNotifier && !m_acceptNotifier->isEnabled())))
            retrySoon(0);
    });
    auto state = std::make_shared<PendingCommand>();

    // A client that stalls or never finishes must not hold a connection forever.
    auto* stall = new QTimer(socket);
    stall->setSingleShot(true);
    connect(stall, &QTimer::timeout, socket, [socket] { socket->abort(); });
    stall->start(m_stallTimeoutMs);

    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::errorOccurred, socket, [socket](QLocalSocket::LocalSocketError) {
        if (socket->state() == QLocalSocket::UnconnectedState)
            socket->deleteLater();
    });

    auto onReady = [this, socket, state, stall] {
        if (state->done)
            return;
        state->buffer += socket->readAll();
        const LinkFrame frame = parseLinkFrame(state->buffer);
        if (frame.status == LinkFrame::Status::Incomplete)
            return;
        state->done = true;
        if (frame.status == LinkFrame::Status::Invalid) {
            socket->abort();
            return;
        }
        stall->stop();
        const QString command = frame.command;
        state->buffer.clear();
        // Accept first, then act: the sender must not wait for what the command does.
        socket->putChar('\0');
        socket->flush();
        QPointer<QLocalSocket> alive(socket);
        Q_EMIT commandReceived(command);
        if (alive)
            alive->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, onReady);
    // Data may have arrived before the connection was taken.
    if (socket->bytesAvailable() > 0)
        onReady();
}

void LinkServer::troubled(const QString& what, int error) {
    if (m_troubled)
        return;
    m_troubled = true;
    qCWarning(lcLink).noquote() << "link" << what << m_folder->describe(m_topic) << "-"
                                << (error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("removed"))
                                << "- trying again as soon as it can";
}

void LinkServer::retrySoon(int delayMs) {
    m_retryDelayMs = delayMs;
    m_retryTimer.start(delayMs);
}

void LinkServer::retry() {
    if (!m_keep)
        return;
    if (m_listenFd >= 0) {
        m_acceptNotifier->setEnabled(true);
        acceptPending();
        return;
    }
    int error = 0;
    switch (bindSocket(&error)) {
    case Bind::Listening:
        if (m_troubled)
            qCWarning(lcLink).noquote() << "link" << m_folder->describe(m_topic) << "is listening again";
        m_troubled = false;
        m_retryDelayMs = 0;
        acceptPending();
        break;
    case Bind::Busy:
        // Something else holds the name now; the folder watch calls again when it goes.
        troubled(QStringLiteral("cannot take back"), EADDRINUSE);
        break;
    case Bind::Transient:
        troubled(QStringLiteral("cannot listen on"), error);
        retrySoon(std::min(std::max(m_retryDelayMs, kFirstRetryMs) * 2, kLongestRetryMs));
        break;
    }
}

void LinkServer::watchFolder() {
    if (m_watchFd >= 0 || !m_folder->isFolder())
        return;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return; // tried again at the next listen
    const QByteArray folder = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(m_folder->fd());
    if (::inotify_add_watch(fd, folder.constData(), IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR) < 0) {
        ::close(fd);
        return;
    }
    m_watchFd = fd;
    m_watchNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_watchNotifier.get(), &QSocketNotifier::activated, this, &LinkServer::folderChanged);
}

void LinkServer::folderChanged() {
    const QByteArray name = QFile::encodeName(m_topic);
    bool ours = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_watchFd, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && name == event->name))
                ours = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (!ours || !m_keep || (m_listenFd >= 0 && ownsSocketFile()))
        return;
    // Our file is gone or replaced: nobody can reach the old socket by name any more.
    if (m_listenFd >= 0) {
        troubled(QStringLiteral("lost the socket file of"), 0);
        stopListening(false);
    }
    m_retryTimer.stop();
    retry();
}
