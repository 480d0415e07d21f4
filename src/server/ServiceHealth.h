#pragma once

#include <QString>

struct HttpResult;

// Tells the log, once per cause, that one of the vendor's services fails, and once
// when it answers again. The user sees nothing of it; the log is the only trace.
class ServiceHealth {
public:
    explicit ServiceHealth(QString serviceName);

    void failed(const QString& address, const QString& cause);
    void answered();
    bool isFailing() const { return !m_cause.isEmpty(); }

    // Why a failed GET failed: "no answer" or the HTTP status ("HTTP 503").
    static QString causeOf(const HttpResult& result);

private:
    QString m_name;
    QString m_cause;
};
