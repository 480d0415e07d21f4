#pragma once

#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <functional>

// Fetches the picture of a notice without blocking the window that shows it.
class NoticePictureSource {
public:
    virtual ~NoticePictureSource() = default;
    // Calls done on the UI thread with the decoded picture, only while context lives;
    // a refused address, a failed or oversized answer or an undecodable body never
    // calls back.
    virtual void fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) = 0;
};

// http and https only, with the program's time-out and size cap.
class NetworkPictureSource : public NoticePictureSource {
public:
    static constexpr int kTimeoutMs = 30000;
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    void fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) override;

private:
    QNetworkAccessManager m_network;
};
