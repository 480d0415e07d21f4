#pragma once

#include <QtGlobal>

// The interval of the program's one-second timers (connection, notice, pop-up
// count): 1000 ms, or VANTOBEL_TRAY_TICK_MS when it holds a positive number, so
// that tests and the demo run a notice's whole road in seconds.
inline int oneSecondTickMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VANTOBEL_TRAY_TICK_MS", &ok);
    return ok && ms > 0 ? ms : 1000;
}

// Notice ticks between two downloads: 600, or VANTOBEL_TRAY_POLL_TICKS when it holds
// a positive number, so that a benchmark can get notices quickly while every timer
// keeps its real one-second tick.
inline int noticeDownloadTicks() {
    bool ok = false;
    const int ticks = qEnvironmentVariableIntValue("VANTOBEL_TRAY_POLL_TICKS", &ok);
    return ok && ticks > 0 ? ticks : 600;
}
