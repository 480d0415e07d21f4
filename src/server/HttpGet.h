#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

// Outcome of one GET, in the terms the callers use.
struct HttpResult {
    int readyState = 0; // 4 when the answer arrived complete
    int status = 0;     // HTTP status, 0 when there was none
    QByteArray body;
    QString text() const { return QString::fromUtf8(body); }
    bool ok() const { return readyState == 4 && status == 200; }
};

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// A synchronous GET: runs a local event loop while waiting (so timers and link
// executes go on), follows redirects, gives up after the time-out, and treats an
// answer over the size cap as failed. Only http and https addresses are fetched.
class HttpGet {
public:
    static constexpr int kDefaultTimeoutMs = 30000;
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    HttpResult get(const QString& address);
    // The same with extra request headers (sent in the given order; empty values are left out).
    HttpResult get(const QString& address, const HttpHeaders& headers);

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    int m_timeoutMs = kDefaultTimeoutMs;
};
