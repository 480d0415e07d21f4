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

    // Why an answer is no answer: "no answer", "HTTP 503", "an incomplete answer".
    static QString causeOf(const HttpResult& result);

private:
    QString m_name;
    QString m_cause;
};
