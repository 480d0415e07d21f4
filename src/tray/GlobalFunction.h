#pragma once

#include "SiblingPrograms.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class AutoRunStore;
class Clock;
class ConnectionProbe;
class PlayerControl;
class ProcessLauncher;
class Prompt;
class RandomSource;
class Settings;
class SysLoad;
class SysPublicCls;
class TrayState;
class TrayWindows;
class UrlOpener;
class WebNews;

// Replacements for the program's contacts with the outside world. Anything left
// empty is the real thing; the program fills those in when it is built.
struct TraySeams {
    Clock* clock = nullptr;
    RandomSource* random = nullptr;
    Prompt* prompt = nullptr;
    UrlOpener* urls = nullptr;
    ProcessLauncher* launcher = nullptr;
    AutoRunStore* autoRun = nullptr;
    ConnectionProbe* probe = nullptr;
    std::function<QString(const QString& section)> instPath;
    std::function<int(const QString& topic, const QString& command)> link;
    std::function<bool()> tryAcquireInstance;
    std::function<void(int)> exit;
    // Gives freed memory back to the system once the last window has closed.
    std::function<void()> releaseMemory;
    // Listen on the tray's link topic (off in tests that only look at the graph).
    bool listen = true;
};

// The sibling programs offered by the server configuration's
// "/Root/SoftBrothers/SoftList" nodes, in node order.
QList<SiblingEntry> siblingEntries(const Settings& settings);

// The running program: every object the tray needs, built by Main in start-up
// order and alive until the program ends.
class TrayProgram {
public:
    explicit TrayProgram(QStringList argumentsWithoutProgram, TraySeams seams = {});
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
