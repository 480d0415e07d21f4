#pragma once

#include <QString>
#include <memory>

class LinkFolder;

// One tray per user: a lock beside the tray's socket, held for as long as the
// process lives (the kernel lets go of it when the process ends, however it ends).
class SingleInstance {
public:
    // In folder's place; by default the process's own (LinkFolder::process()).
    explicit SingleInstance(std::shared_ptr<const LinkFolder> folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one tray.
    bool tryAcquire();
    void release();
    // Where the lock is, for messages and tests.
    QString lockPath() const;

private:
    std::shared_ptr<const LinkFolder> folder() const;

    std::shared_ptr<const LinkFolder> m_folder;
    int m_fd = -1;
};
