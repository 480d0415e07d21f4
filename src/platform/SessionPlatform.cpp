#include "SessionPlatform.h"

#include <QCoreApplication>
#include <QtGlobal>

QByteArray platformForSession(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
                              const QByteArray& sessionType) {
    if (!qpaPlatform.trimmed().isEmpty())
        return {};
    const bool wayland = !waylandDisplay.isEmpty() || sessionType.trimmed().toLower() == "wayland";
    if (!wayland)
        return {};
    // Qt tries each platform of the list in turn until one starts.
    return QByteArrayLiteral("xcb;wayland");
}

void chooseSessionPlatform() {
    const QByteArray platform =
        platformForSession(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}
