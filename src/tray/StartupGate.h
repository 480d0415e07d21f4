#pragma once

#include <QString>
#include <functional>

// One tray per user. True when this process holds the single-instance lock and is
// to run as the tray. Otherwise the command line is handed to the running tray;
// a tray that holds the lock but does not listen yet (it is still starting) is
// asked again a few times with a short pause in between. Either way this copy ends.
struct StartupGate {
    std::function<bool()> tryAcquire;
    // Sends the command line to the running tray: 0 accepted, 282 nobody listens.
    std::function<int(const QString&)> forward;
    std::function<void()> pause;
    int attempts = 5;

    bool claimOrForward(const QString& commandLine) const;
};
