#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Every part of the program's contact with the desktop and the system that a test
// may replace, each a small interface. The real ones live beneath this folder
// (qt/, linux/); RealPlatform (Platform.h) owns them and fills in whatever a test
// did not hand in. The fakes are in tests/support/Fakes.h.

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Uniform draws on [0, 1) in single precision, re-seeded from the timer on request.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void reseed() = 0;
    virtual float next() = 0;
};

enum class PromptIcon { None, Information, Critical, Question, Exclamation };
enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

// Message boxes. show() returns at once: the box never holds the caller in a loop of
// its own, so the tray menu, the timers and every other window go on while it is
// open. answered (when given) runs with the user's answer once the box is closed,
// from the event loop. While a box with the same text is open no second one opens,
// and its answered is dropped.
class Prompt {
public:
    using Answered = std::function<void(PromptAnswer)>;
    virtual ~Prompt() = default;
    virtual void show(const QString& text, const QString& title, PromptIcon icon,
                      PromptButtons buttons = PromptButtons::Ok, Answered answered = {}) = 0;
};

// Opens an address in the user's browser. Implementations refuse anything that is
// not http or https and then return false.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool openUrl(const QString& address) = 0;
};

// Starts another program without waiting for it. False when it could not start.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// Start with the desktop session.
class AutoRunStore {
public:
    virtual ~AutoRunStore() = default;
    virtual bool IsAutoRunSet() const = 0;
    // True when the change was stored.
    virtual bool SetAutoRun() = 0;
    virtual bool RemoveAutoRun() = 0;
};

// Is the machine online? Must never block.
class ConnectionProbe {
public:
    virtual ~ConnectionProbe() = default;
    // name receives the connection's name (the interface) when connected.
    virtual bool isConnected(QString* name = nullptr) = 0;
};

// Where sibling programs record their install path: the maker's per-user settings
// store, one section per program, key "InstPath". Empty when nothing is recorded.
class InstPathStore {
public:
    virtual ~InstPathStore() = default;
    virtual QString instPath(const QString& section) const = 0;
};

// One command to a link topic: 0 when accepted, 282 when no one listens, 286 when
// no answer comes in time, another number for any other failure.
class PlayerLinkClient {
public:
    virtual ~PlayerLinkClient() = default;
    virtual int execute(const QString& topic, const QString& command) = 0;
};

// One tray per user.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // True when this process is now the one tray.
    virtual bool tryAcquire() = 0;
};

// What the desktop offers the tray icon. Qt decides for good, at the first icon,
// whether icons go to a D-Bus host, so the icon is made only once a host is there.
class TrayHostProbe {
public:
    virtual ~TrayHostProbe() = default;
    // A system tray is there to show the icon (an XEmbed tray or a StatusNotifierWatcher).
    virtual bool trayPresent() = 0;
    // Qt would make a new icon a StatusNotifierItem on D-Bus rather than an XEmbed icon.
    virtual bool itemOnDBus() = 0;
    // A D-Bus watcher is there but no host has registered with it yet: a panel that
    // hosts both kinds may be a moment away from its D-Bus host.
    virtual bool hostPending() = 0;
};

// The desktop's file manager.
class FileManager {
public:
    enum class View { Folder, Properties };
    virtual ~FileManager() = default;
    // Shows an existing file: its folder with the file selected, or its properties
    // (the folder when the file manager cannot). Returns at once; false when no file
    // manager could be reached.
    virtual bool show(const QString& absolutePath, View view) = 0;
};

// Ends the event loop with an exit code.
class ProgramExit {
public:
    virtual ~ProgramExit() = default;
    virtual void exit(int code) = 0;
};

// Hands the heap's free pages back to the system.
class MemoryRelease {
public:
    virtual ~MemoryRelease() = default;
    virtual void releaseFreeMemory() = 0;
};

// Reads the version a program file carries.
class FileVersionReader {
public:
    virtual ~FileVersionReader() = default;
    // The file's FileVersion text ("" when it has none).
    virtual QString fileVersion(const QString& path) = 0;
};
