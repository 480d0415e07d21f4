#pragma once

#include <QByteArray>
#include <QObject>

class QNetworkReply;

// Takes a reply's body as it arrives and never holds more than the cap. Qt's own
// buffer is kept small, so a body that comes faster than the event loop reads it
// waits in the sender instead of piling up unseen; every byte is counted when it is
// read, and the reply is aborted as soon as the count (or the announced length)
// passes the cap. Lives as a child of the reply.
class CappedBody : public QObject {
public:
    static constexpr qint64 kReadBufferBytes = 64 * 1024;

    CappedBody(QNetworkReply* reply, qint64 cap);

    // The body passed the cap, or announced that it would.
    bool overCap() const { return m_overCap; }
    // Reads what is still buffered and hands the body over.
    QByteArray take();

private:
    void readAvailable();

    QNetworkReply* m_reply;
    qint64 m_cap;
    bool m_overCap = false;
    QByteArray m_body;
};
