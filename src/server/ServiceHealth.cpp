#include "ServiceHealth.h"

#include "HttpGet.h"
#include "Log.h"

#include <QUrl>

ServiceHealth::ServiceHealth(QString serviceName) : m_name(std::move(serviceName)) {}

void ServiceHealth::failed(const QString& address, const QString& cause) {
    if (cause == m_cause)
        return;
    m_cause = cause;
    // The query may carry user data; the address without it says which service.
    const QString where = QUrl(address).adjusted(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toString();
    qCWarning(lcNet).noquote() << "the" << m_name << "service at" << where << "fails:" << cause;
}

void ServiceHealth::answered() {
    if (m_cause.isEmpty())
        return;
    m_cause.clear();
    qCWarning(lcNet).noquote() << "the" << m_name << "service answers again";
}

QString ServiceHealth::causeOf(const HttpResult& result) {
    // HttpGet gives no status for a refused, broken, oversized or timed-out transfer.
    if (result.status == 0)
        return QStringLiteral("no answer");
    return QStringLiteral("HTTP %1").arg(result.status);
}
