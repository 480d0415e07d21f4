#include "PlayerLink.h"

#include "LinkFrame.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

enum class SocketFile { Missing, Stale, Live, Foreign };

// Probes an existing socket file without blocking: a refused connect means its
// server is gone; anything else (accepted, backlog full) means someone owns it.
SocketFile probeSocketFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return errno == ENOENT ? SocketFile::Missing : SocketFile::Foreign;
    if (!S_ISSOCK(st.st_mode))
        return SocketFile::Foreign;
    sockaddr_un addr{};
    if (size_t(native.size()) >= sizeof(addr.sun_path))
        return SocketFile::Foreign;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return SocketFile::Foreign;
    const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    const int err = errno;
    ::close(fd);
    if (rc == 0)
        return SocketFile::Live;
    return err == ECONNREFUSED ? SocketFile::Stale : SocketFile::Live;
}

struct PendingCommand {
    QByteArray buffer;
    bool done = false;
};

} // namespace

LinkServer::LinkServer(QObject* parent) : QObject(parent) {}

LinkServer::~LinkServer() {
    close();
}

bool LinkServer::listen(const QString& topic) {
    close();
    const QString path = linkSocketPath(topic);
    if (path.isEmpty())
        return false;
    // Qt puts the socket in place by renaming over the path, which would silently
    // replace a server that started a moment ago; the lock makes probe and listen one step.
    QLockFile guard(path + QStringLiteral(".listening"));
    guard.setStaleLockTime(0);
    if (!guard.tryLock(2000))
        return false;
    switch (probeSocketFile(path)) {
    case SocketFile::Missing:
        break;
    case SocketFile::Stale:
        if (!QFile::remove(path))
            return false;
        break;
    case SocketFile::Live:
    case SocketFile::Foreign:
        // Never take over another live server, nor delete a file that is not a socket.
        return false;
    }
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path))
        return false;
    connect(server.get(), &QLocalServer::newConnection, this, &LinkServer::acceptPending);
    m_server = std::move(server);
    return true;
}

void LinkServer::close() {
    if (!m_server)
        return;
    // Disconnect first: closing deletes the pending sockets, whose handlers must not run.
    m_server->disconnect(this);
    m_server->close();
    m_server.reset();
}

bool LinkServer::isListening() const {
    return m_server && m_server->isListening();
}

void LinkServer::acceptPending() {
    const QPointer<LinkServer> self(this);
    while (self && m_server && m_server->hasPendingConnections()) {
        QLocalSocket* socket = m_server->nextPendingConnection();
        if (!socket)
            break;
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
            if (frame.status == LinkFrame::Status::Invalid) {
                state->done = true;
                socket->abort();
                return;
            }
            state->done = true;
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
        connect(socket, &QLocalSocket::readyRead, socket, onReady);
        // Data may have arrived before the connection was taken.
        if (socket->bytesAvailable() > 0)
            onReady();
    }
}
