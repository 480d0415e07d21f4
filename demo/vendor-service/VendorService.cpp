#include "VendorService.h"

#include "ApiMold.h"

#include <QBuffer>
#include <QDateTime>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <cstdio>

namespace {

constexpr qint64 kOverCap = 1024 * 1024 + 1;

QByteArray page(const QString& title, const QString& bodyHtml) {
    return (QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>") + title.toHtmlEscaped() +
            QStringLiteral("</title></head><body><h1>") + title.toHtmlEscaped() + QStringLiteral("</h1>") + bodyHtml +
            QStringLiteral("</body></html>\n"))
        .toUtf8();
}

// The query's key=value pairs, percent-decoded; GoUrlStr takes the whole rest of the
// query because the target keeps its own "?", "&" and "=" unencoded.
QHash<QString, QString> signInParameters(const QString& rawQuery) {
    QHash<QString, QString> values;
    QString head = rawQuery;
    const QString goKey = QStringLiteral("GoUrlStr=");
    const qsizetype go = rawQuery.startsWith(goKey) ? 0 : rawQuery.indexOf(QLatin1Char('&') + goKey);
    if (go >= 0) {
        const qsizetype start = go + (go == 0 ? 0 : 1) + goKey.size();
        values.insert(QStringLiteral("GoUrlStr"), QUrl::fromPercentEncoding(rawQuery.mid(start).toUtf8()));
        head = rawQuery.left(go);
    }
    for (const QString& pair : head.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? pair : pair.left(eq);
        const QString value = eq < 0 ? QString() : pair.mid(eq + 1);
        values.insert(key, QUrl::fromPercentEncoding(value.toUtf8()));
    }
    return values;
}

QByteArray pictureBytes(const QString& path) {
    // A simple picture whose colours follow the path, so each notice shows its own.
    const size_t seed = qHash(path);
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(static_cast<int>(seed % 360), 90, 250));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv(static_cast<int>((seed / 7) % 360), 160, 220));
    painter.drawEllipse(QPoint(80, 62), 42, 42);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPoint(66, 52), 8, 8);
    painter.drawEllipse(QPoint(94, 52), 8, 8);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool jpeg = path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ||
                      path.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive);
    image.save(&buffer, jpeg ? "JPEG" : "PNG");
    return bytes;
}

} // namespace

VendorService::VendorService(VendorOptions options, NoticeBook notices, QHash<QString, QString> users)
    : m_options(std::move(options)), m_notices(std::move(notices)), m_users(std::move(users)),
      m_faultsLeft(m_options.noticeFault == NoticeFault::None ? 0 : m_options.faultTimes) {
    m_server.setMissingHandler([this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        handle(request, std::move(responder));
    });
}

VendorService::~VendorService() = default;

quint16 VendorService::listen(quint16 port) {
    const quint16 bound = m_server.listen(QHostAddress::LocalHost, port);
    if (bound != 0)
        m_base = QStringLiteral("http://127.0.0.1:%1").arg(bound);
    return bound;
}

QByteArray VendorService::keyAnswer(const QString& keyText) {
    const qsizetype half = keyText.size() / 2;
    return (QStringLiteral("x|||") + keyText.left(half) + QStringLiteral("|||") + keyText.mid(half)).toUtf8();
}

QHash<QString, QString> VendorService::parseUsers(const QString& text) {
    QHash<QString, QString> users;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        users.insert(parts.at(0), parts.size() > 1 ? parts.at(1) : QString());
    }
    return users;
}

void VendorService::handle(const QHttpServerRequest& request, QHttpServerResponder&& responder) {
    const QString line =
        request.url().path() + (request.url().hasQuery() ? QLatin1Char('?') + request.url().query() : QString());
    if (request.url().path() == QLatin1String("/test/never")) {
        std::printf("%s GET %s -> (held open)\n", qPrintable(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)),
                    qPrintable(line));
        std::fflush(stdout);
        m_held.push_back(std::make_unique<QHttpServerResponder>(std::move(responder)));
        return;
    }
    if (m_faultsLeft > 0 && request.url().path() == QLatin1String("/notice") && noticeFault(request, line, responder))
        return;
    const Answer answer = answerFor(request);
    if (m_options.delayMs <= 0) {
        send(responder, line, answer);
        return;
    }
    auto later = std::make_shared<QHttpServerResponder>(std::move(responder));
    QPointer<QTcpSocket> socket = later->socket();
    QTimer::singleShot(m_options.delayMs, this, [this, later, socket, line, answer] {
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            send(*later, line, answer); // else the client gave up waiting
    });
}

VendorService::Answer VendorService::answerFor(const QHttpServerRequest& request) {
    const QString path = request.url().path();
    const QUrlQuery query(request.url());
    if (request.method() != QHttpServerRequest::Method::Get)
        return {405, "text/plain; charset=utf-8", "GET only\n", {}};

    if (path == QLatin1String("/api/key"))
        return {200, "text/plain; charset=utf-8", keyAnswer(m_options.keyText), {}};
    if (path == QLatin1String("/notice")) {
        const QString kind = query.queryItemValue(QStringLiteral("TypeStr"), QUrl::FullyDecoded);
        return {200, "text/xml; charset=utf-8", NoticeBook::noticeXml(m_notices.next(kind), m_base), {}};
    }
    if (path == QLatin1String("/interface/get.asp"))
        return signIn(request.url().query(QUrl::FullyEncoded));
    if (path == QLatin1String("/home"))
        return homePage();
    if (path.startsWith(QLatin1String("/news/")))
        return noticePage(path);
    if (path.startsWith(QLatin1String("/pic/")))
        return picture(path);

    // Paths that fail on purpose, for the client tests and the demo scripts.
    if (path.startsWith(QLatin1String("/test/status/"))) {
        const int status = path.mid(13).toInt();
        if (status >= 200 && status <= 599)
            return {status, "text/plain; charset=utf-8", QByteArray::number(status) + " on request\n", {}};
    }
    if (path == QLatin1String("/test/big")) {
        const qint64 bytes = query.hasQueryItem(QStringLiteral("bytes"))
                                 ? query.queryItemValue(QStringLiteral("bytes")).toLongLong()
                                 : kOverCap;
        return {200, "text/plain", QByteArray(qBound(qint64{0}, bytes, qint64{64} * 1024 * 1024), 'x'), {}};
    }
    if (path == QLatin1String("/test/echo"))
        return {200,
                "text/plain; charset=utf-8",
                query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded).toUtf8(),
                {}};
    if (path == QLatin1String("/")) {
        return {200,
                "text/html; charset=utf-8",
                page(QStringLiteral("Vantobel demo vendor service"),
                     QStringLiteral("<ul><li>/api/key</li><li>/notice?TypeStr=baby&amp;TimeAxes=</li>"
                                    "<li>/interface/get.asp?Stup=SoftLoginWeb&amp;v=2&amp;…</li><li><a "
                                    "href=\"/home\">/home</a></li></ul>")),
                {}};
    }
    return {404, "text/html; charset=utf-8", page(QStringLiteral("404"), QStringLiteral("<p>没有这个页面。</p>")), {}};
}

VendorService::Answer VendorService::signIn(const QString& rawQuery) {
    const QHash<QString, QString> p = signInParameters(rawQuery);
    const auto refuse = [](const QString& why) {
        return Answer{
            403,
            "text/html; charset=utf-8",
            page(QStringLiteral("登录失败"), QStringLiteral("<p>") + why.toHtmlEscaped() + QStringLiteral("</p>")),
            {}};
    };
    if (p.value(QStringLiteral("Stup")) != QLatin1String("SoftLoginWeb") || p.value(QStringLiteral("v")) != "2")
        return refuse(QStringLiteral("unknown request"));
    const QString user = p.value(QStringLiteral("UserName"));
    const auto found = m_users.constFind(user);
    if (found == m_users.constEnd())
        return refuse(QStringLiteral("unknown user"));
    const QString expected = LoginCheckDigest(m_options.keyText, user, found.value(), p.value(QStringLiteral("t")));
    if (p.value(QStringLiteral("Md5Check")) != expected)
        return refuse(QStringLiteral("check failed"));
    const QString target = p.value(QStringLiteral("GoUrlStr"));
    // Forward only within this service: the interface is no open redirector.
    if (target != m_base && !target.startsWith(m_base + QLatin1Char('/')))
        return refuse(QStringLiteral("target not on this site"));
    return {302,
            "text/html; charset=utf-8",
            page(QStringLiteral("欢迎"), QStringLiteral("<p>signed in</p>")),
            {{"Location", QUrl(target).toEncoded()}}};
}

VendorService::Answer VendorService::noticePage(const QString& path) const {
    const std::optional<DemoNotice> n = m_notices.byPath(path);
    if (!n)
        return {
            404, "text/html; charset=utf-8", page(QStringLiteral("404"), QStringLiteral("<p>没有这条消息。</p>")), {}};
    QString body = QStringLiteral("<p>") + n->brief.toHtmlEscaped() + QStringLiteral("</p>");
    if (!n->pic.isEmpty())
        body += QStringLiteral("<p><img src=\"") + absoluteAgainst(n->pic, m_base).toHtmlEscaped() +
                QStringLiteral("\" alt=\"\"></p>");
    return {200, "text/html; charset=utf-8", page(n->title, body), {}};
}

VendorService::Answer VendorService::homePage() const {
    return {200,
            "text/html; charset=utf-8",
            page(QStringLiteral("家务中心"), QStringLiteral("<p>欢迎回来！这里是 Vantobel 的家务中心（演示）。</p>")),
            {}};
}

VendorService::Answer VendorService::picture(const QString& path) const {
    if (!m_notices.hasPicture(path))
        return {404, "text/plain; charset=utf-8", "no such picture\n", {}};
    const bool jpeg = path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ||
                      path.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive);
    return {200, jpeg ? "image/jpeg" : "image/png", pictureBytes(path), {}};
}

void VendorService::send(QHttpServerResponder& responder, const QString& line, const Answer& answer) {
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(answer.status));
    responder.writeHeader("Content-Type", answer.mime);
    responder.writeHeader("Content-Length", QByteArray::number(answer.body.size()));
    for (const auto& [name, value] : answer.headers)
        responder.writeHeader(name, value);
    responder.writeBody(answer.body);
    std::printf("%s GET %s -> %d (%lld bytes)\n", qPrintable(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)),
                qPrintable(line), answer.status, static_cast<long long>(answer.body.size()));
    std::fflush(stdout);
}

bool VendorService::noticeFault(const QHttpServerRequest& request, const QString& line,
                                QHttpServerResponder& responder) {
    --m_faultsLeft;
    const auto log = [&line](const char* what, qsizetype bytes) {
        std::printf("%s GET %s -> %s (%lld bytes)\n",
                    qPrintable(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)), qPrintable(line), what,
                    static_cast<long long>(bytes));
        std::fflush(stdout);
    };
    switch (m_options.noticeFault) {
    case NoticeFault::None:
        return false;
    case NoticeFault::Hang:
        log("(held open)", 0);
        m_held.push_back(std::make_unique<QHttpServerResponder>(std::move(responder)));
        return true;
    case NoticeFault::Drip: {
        const Answer answer = answerFor(request);
        log("200 dripping", answer.body.size());
        drip(responder, line, answer.body);
        return true;
    }
    case NoticeFault::Garbage: {
        // In turn: bytes that are no text, a notice cut off in the middle (its title
        // already complete), and a page that is well-formed but no notice.
        static const QByteArray kinds[] = {
            QByteArray("\x00\xff\xfe\x01garbage\x7f\x80\x00", 13),
            QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><Root><Notice><Title>Garbage notice</Title>"
                       "<Url>/news/garbage</Url><Brief>cut off"),
            QByteArray("<html><body><h1>Service busy</h1></body></html>"),
        };
        const QByteArray& body = kinds[m_garbageCount++ % 3];
        log("200 garbage", body.size());
        send(responder, line, {200, "text/xml; charset=utf-8", body, {}});
        return true;
    }
    }
    return false;
}

void VendorService::drip(QHttpServerResponder& responder, const QString& line, const QByteArray& body) {
    m_held.push_back(std::make_unique<QHttpServerResponder>(std::move(responder)));
    const QPointer<QTcpSocket> socket = m_held.back()->socket();
    if (!socket)
        return;
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n");
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [socket, body, timer, line, sent = qsizetype(0)]() mutable {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState || sent >= body.size()) {
            std::printf("%s drip of %s ended: %lld of %lld bytes\n",
                        qPrintable(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)), qPrintable(line),
                        static_cast<long long>(sent), static_cast<long long>(body.size()));
            std::fflush(stdout);
            timer->stop();
            timer->deleteLater();
            return;
        }
        socket->write(body.mid(sent++, 1));
    });
    timer->start(m_options.dripMs);
}
