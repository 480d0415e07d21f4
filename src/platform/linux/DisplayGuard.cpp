#include "DisplayGuard.h"

#include <QList>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

struct HeldMessage {
    QtMsgType type;
    QString category;
    QString file;
    QString function;
    int line;
    QString text;
};

QtMessageHandler s_previous = nullptr;
QList<HeldMessage>& held() {
    static QList<HeldMessage> messages;
    return messages;
}

void guardHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && text.contains(QLatin1String("Qt platform plugin"))) {
        const QByteArray line =
            (noDisplayMessage(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")) +
             QLatin1Char('\n'))
                .toLocal8Bit();
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        // Nothing was started yet that needs its destructors.
        std::_Exit(1);
    }
    if (type != QtFatalMsg) {
        // Every category: a failed Wayland connection, for one, is told outside qt.qpa.
        held().append({type, QString::fromLatin1(context.category != nullptr ? context.category : ""),
                       QString::fromUtf8(context.file), QString::fromUtf8(context.function), context.line, text});
        return;
    }
    if (s_previous != nullptr)
        s_previous(type, context, text);
    else
        qt_message_output(type, context, text);
}

} // namespace

QString noDisplayMessage(const QByteArray& platforms, const QByteArray& display, const QByteArray& waylandDisplay) {
    QStringList problems;
    const QList<QByteArray> names = platforms.trimmed().isEmpty() ? QList<QByteArray>{"xcb"} : platforms.split(';');
    for (const QByteArray& raw : names) {
        const QByteArray name = raw.trimmed().split(':').value(0);
        if (name == "xcb") {
            problems << (display.isEmpty()
                             ? QStringLiteral("DISPLAY is not set")
                             : QStringLiteral("cannot open the X display \"%1\"").arg(QString::fromLocal8Bit(display)));
        } else if (name.startsWith("wayland")) {
            problems << (waylandDisplay.isEmpty() ? QStringLiteral("WAYLAND_DISPLAY is not set")
                                                  : QStringLiteral("cannot connect to the Wayland display \"%1\"")
                                                        .arg(QString::fromLocal8Bit(waylandDisplay)));
        } else if (!name.isEmpty()) {
            problems << QStringLiteral("the window system \"%1\" of QT_QPA_PLATFORM did not start")
                            .arg(QString::fromLocal8Bit(name));
        }
    }
    return QStringLiteral("VantobelPlayTray: no display to show the tray on (%1); start it within a desktop session")
        .arg(problems.join(QStringLiteral("; ")));
}

DisplayGuard::DisplayGuard() {
    held().clear();
    s_previous = qInstallMessageHandler(guardHandler);
}

DisplayGuard::~DisplayGuard() {
    qInstallMessageHandler(s_previous);
    // The platform started after all: its messages of the attempt go out as usual.
    for (const HeldMessage& m : std::exchange(held(), {})) {
        const QByteArray category = m.category.toLatin1();
        const QByteArray file = m.file.toUtf8();
        const QByteArray function = m.function.toUtf8();
        const QMessageLogContext context(file.constData(), m.line, function.constData(), category.constData());
        qt_message_output(m.type, context, m.text);
    }
    s_previous = nullptr;
}
