#pragma once

#include "NoticeBook.h"

#include <QHash>
#include <QHttpServer>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QHttpServerRequest;
class QHttpServerResponder;

struct VendorOptions {
    QString keyText = QStringLiteral("VantobelDemoKey2026");
    int delayMs = 0; // every answer waits this long (test hook)
};

// The vendor's three services on 127.0.0.1 for the demo and the tests: the key text,
// the notice service and the signed sign-in interface, plus the pages they link to
// and a few paths that fail on purpose.
class VendorService : public QObject {
public:
    VendorService(VendorOptions options, NoticeBook notices, QHash<QString, QString> users);
    ~VendorService() override;

    // Listens on 127.0.0.1 (port 0 picks a free one); the port, or 0 on failure.
    quint16 listen(quint16 port);
    QString base() const { return m_base; }

    // "x|||" & first half & "|||" & second half of the key text.
    static QByteArray keyAnswer(const QString& keyText);
    // Name and secret per line, separated by white space; "#" starts a comment line.
    static QHash<QString, QString> parseUsers(const QString& text);

private:
    struct Answer {
        int status = 200;
        QByteArray mime;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
    };

    void handle(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    Answer answerFor(const QHttpServerRequest& request);
    Answer signIn(const QString& rawQuery);
    Answer noticePage(const QString& path) const;
    Answer homePage() const;
    Answer picture(const QString& path) const;
    void send(QHttpServerResponder& responder, const QString& line, const Answer& answer);

    VendorOptions m_options;
    NoticeBook m_notices;
    QHash<QString, QString> m_users;
    QHttpServer m_server;
    QString m_base;
    // Requests held open on purpose (the never-answering path).
    std::vector<std::unique_ptr<QHttpServerResponder>> m_held;
};
