#include "CappedBody.h"

#include <QNetworkReply>

CappedBody::CappedBody(QNetworkReply* reply, qint64 cap) : QObject(reply), m_reply(reply), m_cap(cap) {
    reply->setReadBufferSize(kReadBufferBytes);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        // An announced length over the cap fails at once instead of after the download.
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (!m_overCap && length.isValid() && length.toLongLong() > m_cap) {
            m_overCap = true;
            m_reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, &CappedBody::readAvailable);
}

void CappedBody::readAvailable() {
    if (m_overCap)
        return;
    // One byte past the cap is enough to know; reading more would only grow the body.
    m_body.append(m_reply->read(m_cap + 1 - m_body.size()));
    if (m_body.size() > m_cap) {
        m_overCap = true;
        m_body.clear();
        m_reply->abort();
    }
}

QByteArray CappedBody::take() {
    readAvailable();
    return m_overCap ? QByteArray() : std::exchange(m_body, {});
}
