#pragma once

// A tiny tmpfs on a temporary folder that a test fills to the last block, to see
// how writes behave on a full disk. Mounting needs root; ok() says whether it worked.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class FullDisk {
public:
    FullDisk() {
        m_path = m_dir.path() + QStringLiteral("/disk");
        if (!m_dir.isValid() || !QDir().mkpath(m_path))
            return;
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0, "size=64k,mode=0755") == 0;
    }
    ~FullDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool ok() const { return m_mounted; }
    QString path() const { return m_path; }

    // Takes every free block; true when the disk ended full.
    bool fill() {
        const int fd = ::open(QFile::encodeName(m_path + QStringLiteral("/.filler")).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        // Byte by byte, so that no partly written chunk leaves a tail free.
        ssize_t n = 0;
        while ((n = ::write(fd, "f", 1)) > 0) {
        }
        const bool full = n < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_mounted = false;
};
