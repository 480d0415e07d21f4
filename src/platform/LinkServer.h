#pragma once

#include "LinkProtocol.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class LinkFolder;
class QSocketNotifier;

// Listens on a topic and hands every command of this user to commandReceived; a
// client of another user is dropped unheard.
//
// Once listening it stays so: when descriptors run out it stops accepting and takes
// the waiting clients as soon as one is free again (at once when one of its own
// connections closes, else on a backing-off timer), and when its socket file is
// removed or replaced (seen through inotify on the folder) it listens anew. Each
// trouble and each recovery is said once under vantobel.link.
class LinkServer : public QObject {
    Q_OBJECT
public:
    // In folder's place; by default the process's own (LinkFolder::process()).
    explicit LinkServer(QObject* parent = nullptr, std::shared_ptr<const LinkFolder> folder = {});
    ~LinkServer() override;
    // Removes a stale socket file first, never another live server's nor a file that is
    // not a socket. False when it cannot listen now; it then keeps trying on its own
    // (when descriptors or memory come back, when the name comes free) until close().
    bool listen(const QString& topic);
    void close();
    bool isListening() const;
    // A client that has not sent its whole command within this time is dropped.
    void setStallTimeout(int ms) { m_stallTimeoutMs = ms; }

Q_SIGNALS:
    void commandReceived(const QString& command);

private:
    enum class Bind { Listening, Busy, Transient };
    Bind bindSocket(int* error);
    void stopListening(bool removeFile);
    void acceptPending();
    void serve(int fd);
    void troubled(const QString& what, int error);
    void retrySoon(int delayMs);
    void retry();
    void watchFolder();
    void folderChanged();
    bool ownsSocketFile() const;

    std::shared_ptr<const LinkFolder> m_folder;
    QString m_topic;
    int m_listenFd = -1;
    unsigned long long m_inode = 0;
    std::unique_ptr<QSocketNotifier> m_acceptNotifier;
    int m_watchFd = -1;
    std::unique_ptr<QSocketNotifier> m_watchNotifier;
    QTimer m_retryTimer;
    int m_retryDelayMs = 0;
    bool m_keep = false;     // listen() succeeded or is being retried, close() not called
    bool m_troubled = false; // a trouble was said and no recovery yet
    int m_stallTimeoutMs = 5000;
};
