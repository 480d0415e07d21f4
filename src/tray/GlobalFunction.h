#pragma once

#include "Platform.h"
#include "SiblingPrograms.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class AutoRunStore;
class PlayerControl;
class Settings;
class SysLoad;
class SysPublicCls;
class TrayState;
class TrayWindows;
class WebNews;

// The sibling programs offered by the server configuration's
// "/Root/SoftBrothers/SoftList" nodes, in node order.
QList<SiblingEntry> siblingEntries(const Settings& settings);

// The running program: every object the tray needs, built by Main in start-up
// order and alive until the program ends.
class TrayProgram {
public:
    // replaced: the seams a test hands in; every other one is the real thing. listen:
    // off in tests that only look at the graph (no link socket, no signal handlers).
    explicit TrayProgram(QStringList argumentsWithoutProgram, const Platform& replaced = {}, bool listen = true);
    ~TrayProgram();

    // Start-up: the command line into the tray state, the shared utility object,
    // the single-instance check (forwarding the command line to a running tray),
    // the server configuration, then the host. False when this copy is to end
    // (exit code 1) because another tray took the command line.
    bool Main();

    TrayState& state();
    SysPublicCls* publicCls();
    PlayerControl& player();
    AutoRunStore& autoRun();
    const Settings& settings();
    // Null until Main has built them.
    SysLoad* host();
    TrayWindows* windows();
    WebNews* news();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};
