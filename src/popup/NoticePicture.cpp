#include "NoticePicture.h"

#include "SystemSeams.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

void NetworkPictureSource::fetch(const QString& address, QObject* context, std::function<void(const QImage&)> done) {
    if (!isWebAddress(address) || context == nullptr)
        return;
    QNetworkRequest request{QUrl(address)};
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = m_network.get(request);
    // The cap is checked while the body arrives, so a huge picture is dropped early.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaxBytes || total > kMaxBytes)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)]() {
        if (reply->error() != QNetworkReply::NoError)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200 || !isWebAddress(reply->url().toString()))
            return;
        const QByteArray body = reply->read(kMaxBytes + 1);
        if (body.size() > kMaxBytes)
            return;
        const QImage image = QImage::fromData(body);
        if (!image.isNull())
            done(image);
    });
}
