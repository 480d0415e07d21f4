#include "HttpGet.h"

#include "CappedBody.h"
#include "WebAddress.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

HttpResult HttpGet::get(const QString& address) {
    return get(address, {});
}

HttpResult HttpGet::get(const QString& address, const HttpHeaders& headers) {
    HttpResult result;
    // Nothing but web addresses leaves the program: no file:, no empty address.
    const QString web = webAddress(address);
    if (web.isEmpty())
        return result;
    result.readyState = 1;

    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(web, QUrl::StrictMode));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    for (const auto& [name, value] : headers) {
        if (!name.isEmpty() && !value.isEmpty())
            request.setRawHeader(name, value);
    }

    QNetworkReply* reply = manager.get(request);
    // Counted as it arrives, so even a body at loopback speed stops at the cap.
    auto* body = new CappedBody(reply, kMaxBytes);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool failed = false;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        failed = true;
        reply->abort();
    });

    timer.start(m_timeoutMs);
    if (!reply->isFinished())
        loop.exec(); // timers, clicks and link executes go on meanwhile
    timer.stop();
    // The wait also ends when the program quits; a transfer still running then is no answer.
    if (!reply->isFinished())
        failed = true;
    QByteArray received = body->take();
    failed = failed || body->overCap();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    reply->deleteLater();

    if (failed || !status.isValid())
        return result;
    // An HTTP error status (content and server errors) is a complete answer; a broken
    // transfer, a refused redirect or a protocol failure is not.
    const int code = static_cast<int>(error);
    const bool transportFailed = code != 0 && (code < 200 || (code >= 300 && code < 400));
    if (transportFailed)
        return result;
    result.readyState = 4;
    result.status = status.toInt();
    result.body = std::move(received);
    return result;
}
