#include "GlobalFunction.h"

#include "ApiMold.h"
#include "AppIdentity.h"
#include "ConnectionWatch.h"
#include "FailurePolicy.h"
#include "HistoryTable.h"
#include "HttpGet.h"
#include "LinkExecute.h"
#include "LinkProtocol.h"
#include "LinkServer.h"
#include "LocalConn.h"
#include "NoticePicture.h"
#include "PlayerControl.h"
#include "ProgramFolder.h"
#include "Seams.h"
#include "Settings.h"
#include "SettingsTable.h"
#include "Skin.h"
#include "StartupGate.h"
#include "SysLoad.h"
#include "SysPublicCls.h"
#include "TerminationSignals.h"
#include "TrayState.h"
#include "TrayWindows.h"
#include "UserBabyLoginMode.h"
#include "WebNews.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <optional>
#include <utility>

QList<SiblingEntry> siblingEntries(const Settings& settings) {
    QList<SiblingEntry> entries;
    const QList<pugi::xml_node> nodes = settings.SelectNodes(QStringLiteral("/Root/SoftBrothers/SoftList"));
    for (const pugi::xml_node& node : nodes) {
        resumeNext(lcTray, "read a sibling program entry", [&] {
            entries.append(
                SiblingEntry{NodeItemValue(node, QStringLiteral("Caption")), NodeItemValue(node, QStringLiteral("t")),
                             NodeItemValue(node, QStringLiteral("v")), NodeItemValue(node, QStringLiteral("k")),
                             NodeItemValue(node, QStringLiteral("url"))});
        });
    }
    return entries;
}

struct TrayProgram::Parts {
    QStringList arguments;
    bool listen = true;
    // The real contacts with the desktop, made only for what a test did not replace.
    RealPlatform real{AppIdentity::launcherFor(QCoreApplication::applicationFilePath())};
    Platform os;

    TrayState state;
    std::unique_ptr<SysPublicCls> publicCls;
    std::unique_ptr<TerminationSignals> termination;
    std::unique_ptr<Settings> settings;
    HttpGet http;
    std::unique_ptr<ApiMold> api;
    std::unique_ptr<UserBabyLoginMode> user;
    std::unique_ptr<LocalConn> conn;
    std::unique_ptr<HistoryTable> history;
    std::unique_ptr<SettingsTable> softSettings;
    std::unique_ptr<WebNews> news;
    std::unique_ptr<PlayerControl> player;
    std::unique_ptr<SiblingLauncher> siblings;
    NetworkPictureSource pictures;
    std::unique_ptr<SysLoad> host;
    std::unique_ptr<TrayWindows> windows;
    std::unique_ptr<ConnectionWatch> watch;
    std::unique_ptr<LinkServer> linkServer;
    QStringList earlyCommands;
    bool hostLoaded = false;
};

TrayProgram::TrayProgram(QStringList argumentsWithoutProgram, const Platform& replaced, bool listen)
    : m(std::make_unique<Parts>()) {
    m->arguments = std::move(argumentsWithoutProgram);
    m->listen = listen;
    m->os = m->real.complete(replaced);
    const Platform& os = m->os;

    m->settings = std::make_unique<Settings>(*os.prompt);
    m->api = std::make_unique<ApiMold>(*m->settings, m->http, *os.urls, *os.clock, *os.prompt, m->state);
    m->user = std::make_unique<UserBabyLoginMode>(m->state);
    m->conn = std::make_unique<LocalConn>(*m->user, *os.prompt, *os.clock);
    m->history = std::make_unique<HistoryTable>(*m->conn);
    m->softSettings = std::make_unique<SettingsTable>(*m->conn);
    m->news = std::make_unique<WebNews>(*m->settings, m->http, *m->history, m->state);
    m->player = std::make_unique<PlayerControl>(m->state, *os.launcher, *os.link, *os.versions);
    m->siblings = std::make_unique<SiblingLauncher>(m->state, *os.instPaths, *os.launcher, *os.prompt,
                                                    [this](const QString& address) { m->api->OpenUrl(address); });
}

TrayProgram::~TrayProgram() = default;

TrayState& TrayProgram::state() {
    return m->state;
}
SysPublicCls* TrayProgram::publicCls() {
    return m->publicCls.get();
}
PlayerControl& TrayProgram::player() {
    return *m->player;
}
AutoRunStore& TrayProgram::autoRun() {
    return *m->os.autoRun;
}
const Settings& TrayProgram::settings() {
    return *m->settings;
}
SysLoad* TrayProgram::host() {
    return m->host.get();
}
TrayWindows* TrayProgram::windows() {
    return m->windows.get();
}
WebNews* TrayProgram::news() {
    return m->news.get();
}

bool TrayProgram::Main() {
    const QString commandText = commandTextFromArguments(m->arguments);
    const std::optional<HostWindow> window = windowCommand(commandText);
    // A desktop action that starts the tray serves the player of the last run, as the
    // autostart does: its command is no player data to keep.
    resumeNext(lcTray, "read the start command",
               [&] { m->state.applyStartCommand(window ? QStringLiteral("/TRAY") : commandText, sysIniPath()); });
    const Platform& os = m->os;
    m->publicCls = std::make_unique<SysPublicCls>(*os.clock, *os.random);

    if (!SysPublicCls::IsBlank(m->state.CommandLine)) {
        const StartupGate gate{.instance = *os.instance, .player = *m->player, .pause = [] { QThread::msleep(200); }};
        // This copy never builds its host: it leaves no icon and does not write Sys.ini
        // over the running tray's remembered player.
        if (!gate.claimOrForward(window ? commandText + QStringLiteral("|||") : m->state.CommandLine))
            return false;
    }
    // Quitting from the menu entry while no tray runs: there is nothing to quit.
    if (window == HostWindow::ExitQuestion)
        return false;

    // Listen as soon as this copy is the tray: a second start forwards only for a
    // moment, and a broken configuration's message box can hold start-up much longer.
    if (m->listen) {
        m->linkServer = std::make_unique<LinkServer>();
        QObject::connect(m->linkServer.get(), &LinkServer::commandReceived, [this](const QString& command) {
            if (m->hostLoaded)
                m->host->LinkExecute(command);
            else
                m->earlyCommands.append(command);
        });
        m->linkServer->listen(kTrayTopic);
    }

    resumeNext(lcTray, "read Settings.xml", [&] { m->settings->LoadSettings(); });

    m->host = std::make_unique<SysLoad>(SysLoadDeps{
        .state = m->state,
        .player = *m->player,
        .siblings = *m->siblings,
        .prompt = *os.prompt,
        .trayHost = *os.trayHost,
        .web = {
            .homeAddress =
                [this] {
                    return m->settings->SettingValue(QStringLiteral("url"),
                                                     QStringLiteral("/Root/Server/MyHomeManage"));
                },
            .goWebLogin = [this](const QString& address) { m->api->GoWebLogin(address); },
            .openUrl = [this](const QString& address) { m->api->OpenUrl(address); },
        },
        .sysIni = sysIniPath(),
        .skinFolder = skinFolder(),
        .exit = *os.exit,
        .startConnectionWatch = [this] { m->watch->start(); },
    });
    m->windows = std::make_unique<TrayWindows>(TrayWindowsDeps{
        .host = *m->host,
        .player = *m->player,
        .settings = *m->softSettings,
        .history = *m->history,
        .autoRun = *os.autoRun,
        .utils = *m->publicCls,
        .urls = *os.urls,
        .prompt = *os.prompt,
        .clock = *os.clock,
        .pictures = &m->pictures,
        .takeNotice = [this] { return TakeNotice(*m->news); },
    });
    // The watch's looks go to the icon; each new notice gets its own pop-up.
    m->watch = std::make_unique<ConnectionWatch>(
        *os.connection, [this] { return m->history->HistoryCount(0); }, [this] { return m->news->CheckNewNotice(); });
    QObject::connect(m->watch.get(), &ConnectionWatch::iconStateRequested, m->host.get(), &SysLoad::setIconState);
    QObject::connect(m->watch.get(), &ConnectionWatch::newNoticeAvailable, m->windows.get(),
                     trapped(lcPopup, "pop up a new notice", [this] { m->windows->openNotice(); }));
    QObject::connect(m->windows.get(), &TrayWindows::allWindowsClosed, m->windows.get(),
                     [this] { m->os.memory->releaseFreeMemory(); });
    m->host->Load(siblingEntries(*m->settings));

    // Commands that came in while the host was being built run in their order once
    // the event loop does (so that an early "/exit" can end it).
    QTimer::singleShot(0, m->host.get(), [this, window] {
        m->hostLoaded = true;
        for (const QString& command : std::exchange(m->earlyCommands, {}))
            m->host->LinkExecute(command);
        if (window)
            resumeNext(lcTray, "open the desktop action's window", [&] { m->host->OpenWindow(*window); });
    });

    if (m->listen) {
        // Log-off usually ends programs with a signal: close as the host would, so
        // Sys.ini still records the served player.
        m->termination = std::make_unique<TerminationSignals>();
        QObject::connect(m->termination.get(), &TerminationSignals::terminationRequested, m->host.get(),
                         trapped(lcTray, "close on a termination signal", [this] { m->host->close(); }));
        m->termination->install();
    }
    return true;
}
