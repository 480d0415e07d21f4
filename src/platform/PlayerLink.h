#pragma once

#include "LinkFrame.h"

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

// The command link between the tray and the player: one per-user local socket
// per topic. One execute is one connection: 4-byte big-endian length N (at most
// 65,536), N bytes of UTF-8 command text; the server answers one byte, 0 = accepted.

inline const QString kTrayTopic = QStringLiteral("VantobelPlayTray|VantobelPlayTrayDDEForm");
inline const QString kPlayerTopic = QStringLiteral("VantobelPlay|VantobelPlayDDEForm");

// Results of linkExecute.
constexpr int kLinkAccepted = 0;
constexpr int kLinkNoPartner = 282; // no socket, or nobody listens on it
constexpr int kLinkRefused = 285;   // the partner hung up or did not accept
constexpr int kLinkTimedOut = 286;  // no answer within the time-out
constexpr int kLinkTooLong = 5;     // the command exceeds kLinkMaxCommandBytes
constexpr int kLinkMaxCommandBytes = int(kLinkFrameMaxPayload);

// $XDG_RUNTIME_DIR, else /tmp/vantobel-<uid>/ made with mode 0700. When that folder
// is not the user's own or is open to others (someone else may have made it first),
// $XDG_DATA_HOME/VantobelPlayTray/run (mode 0700) instead, so the link and the single
// instance stay. Empty only when neither is private. The player asks the same function.
QString linkRuntimeDir();
QString linkSocketPath(const QString& topic);

// Listens on a topic and hands every command text to commandReceived.
class LinkServer : public QObject {
    Q_OBJECT
public:
    explicit LinkServer(QObject* parent = nullptr);
    ~LinkServer() override;
    // Removes a stale socket file first. False when it cannot listen.
    bool listen(const QString& topic);
    void close();
    bool isListening() const;
    // A client that has not sent its whole command within this time is dropped.
    void setStallTimeout(int ms) { m_stallTimeoutMs = ms; }

Q_SIGNALS:
    void commandReceived(const QString& command);

private:
    void acceptPending();

    std::unique_ptr<QLocalServer> m_server;
    int m_stallTimeoutMs = 5000;
};

// Sends one command. 0 when accepted; 282 when no one listens; 286 when no answer
// comes within timeoutMs; another number for any other failure.
int linkExecute(const QString& topic, const QString& command, int timeoutMs = 50000);

// One tray per user: a lock file beside the tray's socket.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    // True when this process is now the one tray.
    bool tryAcquire();
    void release();
    // The lock file's path; empty when no private folder is found.
    QString lockPath() const;

private:
    std::unique_ptr<QLockFile> m_lock;
};
