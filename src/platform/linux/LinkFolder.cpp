#include "LinkFolder.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Owner only, a real folder: nobody else may add, swap or read anything inside.
bool isPrivate(const struct stat& st, uid_t uid) {
    return S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 077) == 0;
}

// A folder on the way down that nobody but the user (or root) can change.
bool isSafeAncestor(const struct stat& st, uid_t uid) {
    return S_ISDIR(st.st_mode) && (st.st_uid == uid || st.st_uid == 0) && (st.st_mode & 022) == 0;
}

// Opens name below dirFd without following a link in its last part; -1 when refused,
// with the reason in why.
int openFolderAt(int dirFd, const QByteArray& name, bool create, bool (*accept)(const struct stat&, uid_t),
                 QString* why) {
    if (create && ::mkdirat(dirFd, name.constData(), 0700) != 0 && errno != EEXIST) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ELOOP || errno == ENOTDIR ? QStringLiteral("not a folder")
                                                  : QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !accept(st, ::getuid())) {
        *why = QStringLiteral("not the user's own private folder");
        ::close(fd);
        return -1;
    }
    return fd;
}

int openPrivate(const QString& path, bool create, QString* why) {
    return openFolderAt(AT_FDCWD, QFile::encodeName(path), create, isPrivate, why);
}

QString passwdHome(uid_t uid) {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return QFile::decodeName(found->pw_dir);
}

// <home>/.local/share/VantobelPlayTray/run, walked one folder at a time from the
// home's own descriptor, so no part can be swapped between check and use.
int openBelowHome(const QString& home, QString* folder, QString* why) {
    if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
        *why = QStringLiteral("no home in the user's passwd entry");
        return -1;
    }
    // The home itself may be reached through the administrator's links (/home -> /data/home).
    int fd = ::open(QFile::encodeName(home).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !isSafeAncestor(st, ::getuid())) {
        *why = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("the home is open to others");
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    const QStringList parts = {QStringLiteral(".local"), QStringLiteral("share"), QStringLiteral("VantobelPlayTray"),
                               QStringLiteral("run")};
    QString path = QDir::cleanPath(home);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        path += QLatin1Char('/') + parts[i];
        const bool last = i + 1 == parts.size();
        const int next = openFolderAt(fd, QFile::encodeName(parts[i]), true, last ? isPrivate : isSafeAncestor, why);
        ::close(fd);
        if (next < 0) {
            *why = path + QStringLiteral(": ") + *why;
            return -1;
        }
        fd = next;
    }
    *folder = path;
    return fd;
}

} // namespace

LinkFolder::LinkFolder(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}

LinkFolder::~LinkFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<const LinkFolder> LinkFolder::find() {
    const uid_t uid = ::getuid();
    QStringList refused;
    auto found = [&](int fd, const QString& path) {
        if (!refused.isEmpty())
            qCWarning(lcLink).noquote() << "link folder refused:" << refused.join(QStringLiteral("; ")) << "- using"
                                        << path;
        return std::shared_ptr<const LinkFolder>(new LinkFolder(fd, path));
    };
    QString why;

    const QString chosen = qEnvironmentVariable("VANTOBEL_LINK_DIR");
    if (!chosen.isEmpty()) {
        const QString path = QDir::cleanPath(chosen);
        if (const int fd = QDir::isAbsolutePath(path) ? openPrivate(path, true, &why) : -1; fd >= 0)
            return found(fd, path);
        refused << path + QStringLiteral(": ") + (why.isEmpty() ? QStringLiteral("not absolute") : why);
    }
    for (const auto& [path, create] : {std::pair{QStringLiteral("/run/user/%1").arg(uid), false},
                                       std::pair{QStringLiteral("/tmp/vantobel-%1").arg(uid), true}}) {
        if (const int fd = openPrivate(path, create, &why); fd >= 0)
            return found(fd, path);
        // A missing /run/user/<uid> is usual (no login session): not worth a word.
        if (create || why != QString::fromLocal8Bit(std::strerror(ENOENT)))
            refused << path + QStringLiteral(": ") + why;
    }
    QString below;
    if (const int fd = openBelowHome(passwdHome(uid), &below, &why); fd >= 0)
        return found(fd, below);
    refused << why;

    qCWarning(lcLink).noquote() << "no private folder for the link:" << refused.join(QStringLiteral("; "))
                                << QStringLiteral("- using the abstract socket names @vantobel-%1/…").arg(uid);
    return std::shared_ptr<const LinkFolder>(new LinkFolder(-1, {}));
}

std::shared_ptr<const LinkFolder> LinkFolder::process() {
    static const std::shared_ptr<const LinkFolder> place = find();
    return place;
}

QByteArray LinkFolder::address(const QString& name) const {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    if (m_fd >= 0)
        return QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(m_fd) + '/' + QFile::encodeName(name);
    return QByteArray(1, '\0') + "vantobel-" + QByteArray::number(::getuid()) + '/' + name.toUtf8();
}

QString LinkFolder::describe(const QString& name) const {
    if (m_fd >= 0)
        return m_path + QLatin1Char('/') + name;
    return QStringLiteral("@vantobel-%1/%2").arg(::getuid()).arg(name);
}
