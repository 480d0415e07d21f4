#pragma once

#include <QByteArray>

// The windowing platform for this session, chosen before the application object
// exists. On a Wayland session the windows go to XWayland (xcb), where the pop-up can
// place itself at the bottom right and stay on top; Qt tries the native Wayland
// platform next when there is no XWayland. A platform the user named in
// QT_QPA_PLATFORM is left alone.

// What QT_QPA_PLATFORM should become for these environment values, or an empty array
// when it is to stay as it is.
QByteArray platformForSession(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
                              const QByteArray& sessionType);

// Applies platformForSession to this process's environment. Call it first in main.
void chooseSessionPlatform();
