#include "NoticePicture.h"

#include "WebAddress.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

void NetworkPictureSource::fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) {
    const QString web = webAddress(address);
    if (web.isEmpty() || context == nullptr)
        return;
    m_waiting.push_back({web, context, std::move(done)});
    startWaiting();
}

void NetworkPictureSource::startWaiting() {
    while (m_running < kMaxRunning && !m_waiting.empty()) {
        Job job = std::move(m_waiting.front());
        m_waiting.pop_front();
        // The window that asked is gone: nobody wants this picture any more.
        if (job.context)
            start(std::move(job));
    }
}

void NetworkPictureSource::start(Job job) {
    QNetworkRequest request{QUrl(job.address, QUrl::StrictMode)};
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    // The network stack is made on the first picture, not at start.
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    QNetworkReply* reply = m_network->get(request);
    ++m_running;

    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(m_deadlineMs);
    // The cap is checked while the body arrives, so a huge picture is dropped early.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaxBytes || total > kMaxBytes)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, deadline, job = std::move(job)]() {
        deadline->stop();
        reply->deleteLater();
        --m_running;
        // The next picture starts from the event loop, not inside this reply's signal.
        QTimer::singleShot(0, m_network.get(), [this] { startWaiting(); });

        if (reply->error() != QNetworkReply::NoError || !job.context)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200 || !isWebAddress(reply->url().toString(QUrl::FullyEncoded)))
            return;
        const QByteArray body = reply->read(kMaxBytes + 1);
        if (body.size() > kMaxBytes)
            return;
        const QImage image = QImage::fromData(body);
        if (!image.isNull() && job.context)
            job.done(image);
    });
}
