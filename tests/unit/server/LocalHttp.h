#pragma once

// A tiny HTTP/1.1 server on 127.0.0.1 inside the test process. The client under test
// waits in a local event loop, so this server answers from the same thread.

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

struct LocalReply {
    using Headers = QList<std::pair<QByteArray, QByteArray>>;
    LocalReply(int s = 200, QByteArray b = {}, Headers h = {}, bool neverAnswer = false, bool announce = true)
        : status(s), body(std::move(b)), headers(std::move(h)), never(neverAnswer), announceLength(announce) {}
    int status = 200;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    bool never = false;         // read the request, never answer
    bool announceLength = true; // false: no Content-Length, the body ends when the connection closes
};

struct LocalRequest {
    QByteArray target; // path and query as sent
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray header(const QByteArray& name) const {
        for (const auto& [n, v] : headers)
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        return {};
    }
    bool hasHeader(const QByteArray& name) const {
        for (const auto& h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
};

class LocalHttp : public QObject {
public:
    using Handler = std::function<LocalReply(const LocalRequest&)>;

    explicit LocalHttp(Handler handler) : m_handler(std::move(handler)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
            }
        });
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QList<LocalRequest> requests;

private:
    void onData(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        LocalRequest request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        requests.append(request);
        const LocalReply reply = m_handler(request);
        if (reply.never)
            return;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\n";
        for (const auto& [n, v] : reply.headers)
            out += n + ": " + v + "\r\n";
        if (reply.announceLength)
            out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n" + reply.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    Handler m_handler;
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
