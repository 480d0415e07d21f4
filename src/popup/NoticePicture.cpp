#include "NoticePicture.h"

#include "CappedBody.h"
#include "WebAddress.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace NoticePicture {

QImage decode(const QByteArray& body, QSize shown) {
    QBuffer buffer;
    buffer.setData(body);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // The header's size is checked before a single row is decoded.
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxPixels)
        return {};
    // Never larger than it is; the page stretches it to the shown size anyway.
    if (shown.isValid() && !shown.isEmpty())
        reader.setScaledSize(size.boundedTo(shown));
    return reader.read();
}

} // namespace NoticePicture

NetworkPictureSource::NetworkPictureSource() : m_decoder(std::make_unique<QThreadPool>()) {
    m_decoder->setMaxThreadCount(1);
    // A decode takes only time the interface leaves over (on Linux the idle class).
    m_decoder->setThreadPriority(QThread::IdlePriority);
}

NetworkPictureSource::~NetworkPictureSource() {
    // Pictures not yet begun are dropped; one being decoded is waited for.
    m_decoder->clear();
    m_decoder->waitForDone();
}

void NetworkPictureSource::fetch(const QString& address, QSize shown, QObject* context,
                                 std::function<void(const QImage&)> done) {
    const QString web = webAddress(address);
    if (web.isEmpty() || context == nullptr)
        return;
    m_waiting.push_back({web, shown, context, std::move(done)});
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
    auto* body = new CappedBody(reply, kMaxBytes);
    ++m_running;

    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(m_deadlineMs);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, body, deadline, job = std::move(job)]() {
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
        QByteArray picture = body->take();
        if (!body->overCap() && !picture.isEmpty())
            decodeLater(std::move(picture), job);
    });
}

void NetworkPictureSource::decodeLater(QByteArray body, const Job& job) {
    // The watcher belongs to the window: when the window is gone first, so is the
    // answer, and the decoded picture is simply dropped.
    auto* watcher = new QFutureWatcher<QImage>(job.context.data());
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, done = job.done] {
        watcher->deleteLater();
        if (watcher->future().resultCount() == 0)
            return;
        const QImage image = watcher->result();
        if (!image.isNull())
            done(image);
    });
    // Shared, as the pool's task must be copyable; a task the pool drops unrun ends
    // the promise with no result.
    auto promise = std::make_shared<QPromise<QImage>>();
    watcher->setFuture(promise->future());
    m_decoder->start([promise, body = std::move(body), shown = job.shown] {
        promise->start();
        promise->addResult(NoticePicture::decode(body, shown));
        promise->finish();
    });
}
