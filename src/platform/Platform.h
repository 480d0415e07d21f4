#pragma once

#include <QString>
#include <memory>
#include <vector>

class AutoRunStore;
class Clock;
class ConnectionProbe;
class FileManager;
class FileVersionReader;
class InstPathStore;
class InstanceLock;
class MemoryRelease;
class PlayerLinkClient;
class ProcessLauncher;
class ProgramExit;
class Prompt;
class RandomSource;
class TrayHostProbe;
class UrlOpener;

// The program's contacts with the desktop and the system, one per seam of Seams.h.
// A test names the ones it replaces and leaves the rest null:
//     Platform{.prompt = &prompt, .link = &link}
struct Platform {
    Clock* clock = nullptr;
    RandomSource* random = nullptr;
    Prompt* prompt = nullptr;
    UrlOpener* urls = nullptr;
    ProcessLauncher* launcher = nullptr;
    AutoRunStore* autoRun = nullptr;
    ConnectionProbe* connection = nullptr;
    InstPathStore* instPaths = nullptr;
    PlayerLinkClient* link = nullptr;
    InstanceLock* instance = nullptr;
    TrayHostProbe* trayHost = nullptr;
    FileManager* fileManager = nullptr;
    ProgramExit* exit = nullptr;
    MemoryRelease* memory = nullptr;
    FileVersionReader* versions = nullptr;
};

// Owns the real implementations. complete() gives back what it was handed with every
// null filled in by a real part, made only then: a test's fake keeps the real one
// from ever being built (no lock taken, no socket looked at).
class RealPlatform {
public:
    // trayExecutable: what the autostart entry runs.
    explicit RealPlatform(QString trayExecutable);
    ~RealPlatform();
    RealPlatform(const RealPlatform&) = delete;
    RealPlatform& operator=(const RealPlatform&) = delete;

    Platform complete(const Platform& given);

private:
    template <typename Real, typename Seam, typename... Args> Seam* fill(Seam* given, Args&&... args);

    QString m_trayExecutable;
    std::vector<std::shared_ptr<void>> m_owned;
};
