#pragma once

#include <QByteArray>
#include <QString>

// Without a display Qt ends the program with abort() and advice to reinstall it.
// While a guard lives (around the application object's construction), that end
// becomes one line on stderr naming the display problem and exit status 1; the
// messages of the attempt are held back and let through only when a platform starts.
class DisplayGuard {
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;
};

// The line for these environment values: platforms is QT_QPA_PLATFORM (a list
// separated by ";", empty for Qt's default), then DISPLAY and WAYLAND_DISPLAY.
QString noDisplayMessage(const QByteArray& platforms, const QByteArray& display, const QByteArray& waylandDisplay);
