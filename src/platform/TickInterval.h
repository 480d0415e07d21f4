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
