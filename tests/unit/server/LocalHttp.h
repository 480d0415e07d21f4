#pragma once

// Test helpers of the server link: a tiny HTTP/1.1 server inside the test process
// (the client waits in a local event loop, so it answers from the same thread) and
// settings pointing at it.

#include "ApiMold.h"
#include "Fakes.h"
#include "HttpGet.h"
#include "LogLines.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TrayState.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

struct LocalReply {
    LocalReply(int s = 200, QByteArray b = {}, QByteArray h = {}, bool keepOpen = false, bool announce = true)
        : status(s), body(std::move(b)), headers(std::move(h)), hold(keepOpen), announceLength(announce) {}
    int status; // 0: nothing is sent
    QByteArray body;
    QByteArray headers;  // raw header lines, each ending in CR LF
    bool hold;           // the connection stays open after what is sent
    bool announceLength; // false: no Content-Length, the body ends when the connection closes
};

// Answers the queued replies in turn (the last one repeats) and records each request head.
class LocalHttp : public QObject {
public:
    explicit LocalHttp(QList<LocalReply> queued) : replies(std::move(queued)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, s, [this, s] { onData(s); });
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QByteArray target(qsizetype i) const { return requests.value(i).split(' ').value(1); }

    QList<LocalReply> replies;
    QList<QByteArray> requests;

private:
    void onData(QTcpSocket* s) {
        QByteArray& buffer = m_buffers[s];
        buffer += s->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        requests.append(buffer.left(buffer.indexOf("\r\n\r\n")));
        buffer.clear();
        const LocalReply r = replies.at(qMin(requests.size() - 1, replies.size() - 1));
        QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n" + r.headers;
        if (r.announceLength)
            out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
        if (r.status > 0)
            s->write(out + "Connection: close\r\n\r\n" + r.body);
        if (!r.hold)
            s->disconnectFromHost();
    }
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

// An answer that never ends, sent as fast as loopback carries it, from a thread of its
// own so the client's waiting does not slow it. Counts what it got rid of; each
// connection is served until the client hangs up.
class EndlessHttp {
public:
    explicit EndlessHttp(QByteArray start = {}) : m_start(std::move(start)) {
        // Qt only listens; the thread accepts on the descriptor.
        m_server.listen(QHostAddress::LocalHost, 0);
        m_server.pauseAccepting();
        m_thread = std::thread([this, fd = int(m_server.socketDescriptor())] { serve(fd); });
    }
    ~EndlessHttp() {
        m_stop = true;
        m_thread.join();
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    // Holds the calling (interface) thread for a while once the body pours, as a busy
    // interface would.
    void busyOnceFlowing(int ms) {
        auto* poll = new QTimer(&m_context);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, ms] {
            if (m_sent < 256 * 1024)
                return;
            poll->stop();
            QThread::msleep(ms);
        });
        poll->start(1);
    }
    int hungUp() const { return m_hungUp; }

private:
    void serve(int listener) {
        const QByteArray block(64 * 1024, 'x');
        while (!m_stop) {
            pollfd wait{listener, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0)
                continue;
            const int s = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            char request[4096];
            [[maybe_unused]] const auto got = ::recv(s, request, sizeof request, 0);
            const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n" + m_start;
            [[maybe_unused]] const auto put = ::send(s, head.constData(), head.size(), MSG_NOSIGNAL);
            while (!m_stop) {
                const auto n = ::send(s, block.constData(), block.size(), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                m_sent += n;
            }
            ::close(s);
            ++m_hungUp;
        }
    }
    QByteArray m_start;
    QObject m_context;
    QTcpServer m_server;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::atomic<int> m_hungUp{0};
    std::thread m_thread;
};

// How far this process's resident memory rose above where it stood when made: the
// kernel's peak mark is reset first (Linux 4.0 and later), so no earlier test counts.
class MemoryRise {
public:
    MemoryRise() {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        m_start = kilobytes("VmRSS");
    }
    qint64 megabytes() const { return (kilobytes("VmHWM") - m_start) / 1024; }

private:
    static qint64 kilobytes(const QString& field) {
        const QRegularExpression line("^" + field + R"(:\s*(\d+))", QRegularExpression::MultilineOption);
        return line.match(QString::fromLatin1(readFile(QStringLiteral("/proc/self/status")))).captured(1).toLongLong();
    }
    qint64 m_start = 0;
};

inline std::unique_ptr<Settings> settingsFor(Prompt& prompt, const QString& dir, const QString& webApi,
                                             const QString& interfaceServer, const QString& notice) {
    writeFile(dir + "/Settings.xml", QStringLiteral(R"(<Root><Server><WebApi url="%1"/><InterfaceUserServer url="%2"/>)"
                                                    R"(</Server><News><Notice url="%3"/></News></Root>)")
                                         .arg(webApi, interfaceServer, notice)
                                         .toUtf8());
    auto settings = std::make_unique<Settings>(prompt);
    settings->LoadSettingsFrom(dir + "/Settings.xml");
    return settings;
}

// The key text, digest and sign-in address on fakes, with the web API at webApi.
struct ApiKit {
    TempProgramHome home;
    RecordingPrompt prompt;
    RecordingUrlOpener opener;
    FixedClock clock; // 2009-03-05 14:05:06
    TrayState state;
    HttpGet http;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ApiMold> api;
    explicit ApiKit(const QString& webApi, const QString& interfaceServer = {})
        : settings(settingsFor(prompt, home.path(), webApi, interfaceServer, {})) {
        api = std::make_unique<ApiMold>(*settings, http, opener, clock, prompt, state);
    }
};
