#include "PlayerLink.h"

#include "LinkFrame.h"
#include "Log.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder must be a real folder of ours that nobody else can enter: the link
// carries the user's sign-in data.
bool isPrivateFolder(const QByteArray& path, bool followLinks) {
    struct stat st {};
    const int rc = followLinks ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    if (rc != 0 || !S_ISDIR(st.st_mode))
        return false;
    return st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// $XDG_RUNTIME_DIR, else /tmp/vantobel-<uid>; empty with the refused folder in refused.
QString runtimeFolder(QString* refused) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        QString dir = QDir::cleanPath(runtime);
        if (isPrivateFolder(QFile::encodeName(dir), true))
            return dir;
        *refused = dir;
        return {};
    }
    const QString dir = QStringLiteral("/tmp/vantobel-%1").arg(::getuid());
    const QByteArray native = QFile::encodeName(dir);
    // Not followed through a link: someone else could have planted one in /tmp.
    if ((::mkdir(native.constData(), 0700) == 0 || errno == EEXIST) && isPrivateFolder(native, false))
        return dir;
    *refused = dir;
    return {};
}

// Below the user's own data folder, which no other user can make first.
QString fallbackFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString parent = QDir::cleanPath(base) + QStringLiteral("/VantobelPlayTray");
    const QString dir = parent + QStringLiteral("/run");
    const QByteArray native = QFile::encodeName(dir);
    if (!QDir().mkpath(parent))
        return {};
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // A folder of ours made looser by hand is tightened; anyone else's is refused.
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(native.constData(), 0700);
    return isPrivateFolder(native, false) ? dir : QString();
}

} // namespace

QString linkRuntimeDir() {
    QString refused;
    const QString dir = runtimeFolder(&refused);
    if (!dir.isEmpty())
        return dir;
    // Said once per folder: the link asks for its folder at every command.
    static QString warned;
    const QString fallback = fallbackFolder();
    if (warned != refused) {
        warned = refused;
        qCWarning(lcLink) << "link folder" << refused << "is not private to this user; using"
                          << (fallback.isEmpty() ? QStringLiteral("no link") : fallback);
    }
    return fallback;
}

QString linkSocketPath(const QString& topic) {
    const QString dir = linkRuntimeDir();
    if (dir.isEmpty() || topic.isEmpty() || topic.contains(QLatin1Char('/')))
        return {};
    return dir + QLatin1Char('/') + topic;
}

int linkExecute(const QString& topic, const QString& command, int timeoutMs) {
    const QByteArray payload = command.toUtf8();
    if (payload.size() > kLinkMaxCommandBytes)
        return kLinkTooLong;
    const QString path = linkSocketPath(topic);
    if (path.isEmpty())
        return kLinkNoPartner;

    const QDeadlineTimer deadline(timeoutMs < 0 ? -1 : timeoutMs);
    auto remaining = [&deadline] { return deadline.isForever() ? -1 : int(deadline.remainingTime()); };

    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(remaining())) {
        switch (socket.error()) {
        case QLocalSocket::ServerNotFoundError:
        case QLocalSocket::ConnectionRefusedError:
            return kLinkNoPartner;
        case QLocalSocket::SocketTimeoutError:
            return kLinkTimedOut;
        default:
            return kLinkRefused;
        }
    }

    const QByteArray message = encodeLinkFrame(payload);
    if (socket.write(message) != message.size())
        return kLinkRefused;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining()))
            return socket.error() == QLocalSocket::SocketTimeoutError ? kLinkTimedOut : kLinkRefused;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remaining())) {
            if (socket.bytesAvailable() >= 1)
                break;
            return socket.error() == QLocalSocket::SocketTimeoutError ? kLinkTimedOut : kLinkRefused;
        }
    }
    char answer = 1;
    socket.getChar(&answer);
    socket.abort();
    return answer == 0 ? kLinkAccepted : kLinkRefused;
}

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath() const {
    const QString dir = linkRuntimeDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/VantobelPlayTray.lock");
}

bool SingleInstance::tryAcquire() {
    if (m_lock && m_lock->isLocked())
        return true;
    const QString path = lockPath();
    // Without any private folder (not even below the home) there is no safe place for
    // the lock (nor the link): rather run unguarded than never start.
    if (path.isEmpty())
        return true;
    m_lock = std::make_unique<QLockFile>(path);
    // Staleness by age would let a second tray steal the lock of a long-running one;
    // only a lock whose process is gone is stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

void SingleInstance::release() {
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}
