#pragma once

#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

// Fetches the picture of a notice without blocking the window that shows it.
class NoticePictureSource {
public:
    virtual ~NoticePictureSource() = default;
    // Calls done on the UI thread with the decoded picture, only while context lives;
    // a refused address, a failed or oversized answer or an undecodable body never
    // calls back.
    virtual void fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) = 0;
};

// http and https only, with the program's time-out and size cap. A picture has a
// whole deadline besides the time-out for silence (a server that drips a byte now
// and then never falls silent), and only a few pictures load at once: the rest wait
// their turn, so slow pictures cannot take every connection.
class NetworkPictureSource : public NoticePictureSource {
public:
    static constexpr int kTimeoutMs = 30000;
    static constexpr int kDeadlineMs = 30000;
    static constexpr int kMaxRunning = 2;
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    void fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) override;
    void setDeadlineMs(int ms) { m_deadlineMs = ms; }

private:
    struct Job {
        QString address;
        QPointer<QObject> context;
        std::function<void(const QImage&)> done;
    };
    void startWaiting();
    void start(Job job);

    std::deque<Job> m_waiting;
    int m_running = 0;
    int m_deadlineMs = kDeadlineMs;
    // Last, so it goes first: its replies never outlive the queue they report to.
    std::unique_ptr<QNetworkAccessManager> m_network;
};
