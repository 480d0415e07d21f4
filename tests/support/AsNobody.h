#pragma once

// Root ignores file modes, and CI runs as root: a check of what a refused write does
// runs in a child process that is the unprivileged user nobody, on files handed to it.

#include <QByteArray>
#include <QDirIterator>
#include <QFile>

#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

inline constexpr uid_t kNobody = 65534;

// Gives the folder and everything below it to nobody (when this process may).
inline void giveToNobody(const QString& folder) {
    if (::geteuid() != 0)
        return;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    [[maybe_unused]] int ignored = ::lchown(QFile::encodeName(folder).constData(), kNobody, kNobody);
    while (it.hasNext())
        ignored = ::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody);
}

// Runs check in a forked child that is nobody when this process is root (as itself
// otherwise); true when the child could drop root and check returned true.
inline bool asNobody(const std::function<bool()>& check) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped =
            ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                                 ::setresuid(kNobody, kNobody, kNobody) == 0);
        ::_exit(dropped && ::geteuid() != 0 && check() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
