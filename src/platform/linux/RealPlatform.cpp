#include "Platform.h"

#include "CsFileProperties.h"
#include "DesktopUrlOpener.h"
#include "FreeMemory.h"
#include "FreedesktopFileManager.h"
#include "LinkClient.h"
#include "LinuxConnectionProbe.h"
#include "LinuxTrayHost.h"
#include "QtProcessLauncher.h"
#include "QtPrompt.h"
#include "SettingsInstPathStore.h"
#include "SingleInstance.h"
#include "SystemSeams.h"
#include "XdgAutoRun.h"

#include <QCoreApplication>

namespace {

class SocketLinkClient : public PlayerLinkClient {
public:
    int execute(const QString& topic, const QString& command) override { return linkExecute(topic, command); }
};

class LockFileInstance : public InstanceLock {
public:
    bool tryAcquire() override { return m_lock.tryAcquire(); }

private:
    SingleInstance m_lock;
};

class EventLoopExit : public ProgramExit {
public:
    void exit(int code) override { QCoreApplication::exit(code); }
};

class HeapRelease : public MemoryRelease {
public:
    void releaseFreeMemory() override { ::releaseFreeMemory(); }
};

// Linux has no version resource of its own: the program files carry a PE one.
class PeFileVersion : public FileVersionReader {
public:
    QString fileVersion(const QString& path) override {
        CsFileProperties properties;
        properties.FindFileInfo(path);
        return properties.FileVersion();
    }
};

} // namespace

RealPlatform::RealPlatform(QString trayExecutable) : m_trayExecutable(std::move(trayExecutable)) {}

RealPlatform::~RealPlatform() = default;

template <typename Real, typename Seam, typename... Args> Seam* RealPlatform::fill(Seam* given, Args&&... args) {
    if (given)
        return given;
    auto real = std::make_shared<Real>(std::forward<Args>(args)...);
    m_owned.push_back(real);
    return real.get();
}

Platform RealPlatform::complete(const Platform& given) {
    return {
        .clock = fill<SystemClock>(given.clock),
        .random = fill<SystemRandom>(given.random),
        .prompt = fill<QtPrompt>(given.prompt),
        .urls = fill<DesktopUrlOpener>(given.urls),
        .launcher = fill<QtProcessLauncher>(given.launcher),
        .autoRun = fill<XdgAutoRun>(given.autoRun, m_trayExecutable),
        .connection = fill<LinuxConnectionProbe>(given.connection),
        .instPaths = fill<SettingsInstPathStore>(given.instPaths),
        .link = fill<SocketLinkClient>(given.link),
        .instance = fill<LockFileInstance>(given.instance),
        .trayHost = fill<LinuxTrayHost>(given.trayHost),
        .fileManager = fill<FreedesktopFileManager>(given.fileManager),
        .exit = fill<EventLoopExit>(given.exit),
        .memory = fill<HeapRelease>(given.memory),
        .versions = fill<PeFileVersion>(given.versions),
    };
}
