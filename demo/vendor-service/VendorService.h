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

// How the notice service misbehaves on purpose (fault tests).
enum class NoticeFault {
    None,
    Hang,    // reads the request, never answers
    Drip,    // the notice, one byte every dripMs
    Garbage, // status 200 with a body that is no notice document
};

struct VendorOptions {
    QString keyText = QStringLiteral("VantobelDemoKey2026");
    int delayMs = 0; // every answer waits this long (test hook)
    NoticeFault noticeFault = NoticeFault::None;
    int faultTimes = 1; // notice requests that get the fault; the later ones are answered normally
    int dripMs = 100;
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
    // True when the request was taken by the notice fault.
    bool noticeFault(const QHttpServerRequest& request, const QString& line, QHttpServerResponder& responder);
    void drip(QHttpServerResponder& responder, const QString& line, const QByteArray& body);

    VendorOptions m_options;
    NoticeBook m_notices;
    QHash<QString, QString> m_users;
    QHttpServer m_server;
    QString m_base;
    // Requests held open on purpose (the never-answering path, hanging and dripping answers).
    std::vector<std::unique_ptr<QHttpServerResponder>> m_held;
    int m_faultsLeft = 0;
    int m_garbageCount = 0;
};
