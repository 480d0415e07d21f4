#pragma once

#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <deque>
#include <functional>
#include <memory>

// Fetches the picture of a notice without blocking the window that shows it.
class NoticePictureSource {
public:
    virtual ~NoticePictureSource() = default;
    // Calls done on the UI thread with the picture decoded to at most shown (device
    // pixels), only while context lives; a refused address, a failed or oversized
    // answer or an undecodable body never calls back.
    virtual void fetch(const QString& address, QSize shown, QObject* context,
                       std::function<void(const QImage&)> done) = 0;
};

namespace NoticePicture {
// Pictures over this many pixels are refused before decoding: 128 MiB at four bytes
// a pixel, the most a picture may cost while it is decoded.
constexpr qint64 kMaxPixels = 32 * 1024 * 1024;
// The picture in body, decoded straight to at most shown where the format allows
// (a PNG row by row, a JPEG by its own scaling); null when it is no picture or too large.
QImage decode(const QByteArray& body, QSize shown);
} // namespace NoticePicture

// http and https only, with the program's time-out and size cap. A picture has a
// whole deadline besides the time-out for silence (a server that drips a byte now
// and then never falls silent), and only a few pictures load at once: the rest wait
// their turn, so slow pictures cannot take every connection. Pictures are decoded
// one at a time on a thread of their own, so the windows never wait for a decode and
// never more than one full-size picture is in memory.
class NetworkPictureSource : public NoticePictureSource {
public:
    static constexpr int kTimeoutMs = 30000;
    static constexpr int kDeadlineMs = 30000;
    static constexpr int kMaxRunning = 2;
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    NetworkPictureSource();
    ~NetworkPictureSource() override;
    void fetch(const QString& address, QSize shown, QObject* context, std::function<void(const QImage&)> done) override;
    void setDeadlineMs(int ms) { m_deadlineMs = ms; }

private:
    struct Job {
        QString address;
        QSize shown;
        QPointer<QObject> context;
        std::function<void(const QImage&)> done;
    };
    void startWaiting();
    void start(Job job);
    void decodeLater(QByteArray body, const Job& job);

    std::deque<Job> m_waiting;
    int m_running = 0;
    int m_deadlineMs = kDeadlineMs;
    std::unique_ptr<QThreadPool> m_decoder;
    // Last, so it goes first: its replies never outlive the queue they report to.
    std::unique_ptr<QNetworkAccessManager> m_network;
};
