#pragma once

#include <QString>
#include <functional>

class InstanceLock;
class PlayerControl;

// One tray per user. True when this process holds the single-instance lock and is
// to run as the tray. Otherwise the command line is handed to the running tray;
// a tray that holds the lock but does not listen yet (it is still starting) is
// asked again a few times with a short pause in between. Either way this copy ends.
struct StartupGate {
    InstanceLock& instance;
    // Sends the command line to the running tray over the link.
    PlayerControl& player;
    // The wait between two tries.
    std::function<void()> pause;
    int attempts = 5;

    bool claimOrForward(const QString& commandLine) const;
};
