#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// Where one user's link sockets and single-instance lock live. Every start of the same
// user must find the same place whatever its environment says (a start from cron or
// after su may lack XDG_RUNTIME_DIR), so the place follows from the uid alone:
//   1. /run/user/<uid>, when it is the user's own private folder;
//   2. /tmp/vantobel-<uid>, made with mode 0700;
//   3. <home of the passwd entry>/.local/share/VantobelPlayTray/run, every folder on
//      the way owned by the user (or root) and writable by nobody else;
//   4. else no folder at all: the sockets and the lock use the abstract names
//      "@vantobel-<uid>/<name>", which no file-system trick can redirect; both sides
//      check the peer's uid, since anyone may bind an abstract name.
// VANTOBEL_LINK_DIR names a folder to try first (tests and the demo keep their own
// sessions apart with it); every start that is to find the tray must set it alike.
//
// The folder is opened once, checked through the open descriptor and reached through
// /proc/self/fd/<fd>/ from then on: swapping the path later changes nothing, and the
// socket address stays short however deep the folder lies.
class LinkFolder {
public:
    ~LinkFolder();
    LinkFolder(const LinkFolder&) = delete;
    LinkFolder& operator=(const LinkFolder&) = delete;

    // Looks for the place now, saying on the log what it refused.
    static std::shared_ptr<const LinkFolder> find();
    // The place of this process: found on first use and kept until it ends, so that
    // the lock and the server stay where every later start looks.
    static std::shared_ptr<const LinkFolder> process();

    bool isFolder() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The folder as found, for messages and tests; empty without a folder.
    QString path() const { return m_path; }
    // The socket address of name (a topic or the lock): "/proc/self/fd/<fd>/<name>", or
    // a NUL and the abstract name. Empty when name cannot be a file name.
    QByteArray address(const QString& name) const;
    // What address() names, for messages.
    QString describe(const QString& name) const;

private:
    LinkFolder(int fd, QString path);

    int m_fd = -1;
    QString m_path;
};
