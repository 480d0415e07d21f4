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

namespace {
// The choice is for this program only: the player and the browser it starts pick
// their own platform. Runs once the application object has made its platform.
void forgetSessionPlatform() {
    qunsetenv("QT_QPA_PLATFORM");
}
} // namespace

void chooseSessionPlatform() {
    const QByteArray platform =
        platformForSession(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
    if (platform.isEmpty())
        return;
    qputenv("QT_QPA_PLATFORM", platform);
    qAddPreRoutine(forgetSessionPlatform);
}
