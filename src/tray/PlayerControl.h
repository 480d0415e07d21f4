#pragma once

#include <QString>
#include <functional>

class FileVersionReader;
class PlayerLinkClient;
class ProcessLauncher;
class TrayState;

// Everything the tray does with the player and the updater: commands over the
// player link, starting the player when it does not answer, the version text and
// the update start.
class PlayerControl {
public:
    PlayerControl(TrayState& state, ProcessLauncher& launcher, PlayerLinkClient& link, FileVersionReader& versions);

    // Called after the player program was started because it did not answer;
    // hides the window the main-window reference names.
    void setHideMainWindow(std::function<void()> hide) { m_hideMainWindow = std::move(hide); }

    static QString playerProgram();
    static QString updaterProgram();

    // The command that opens the player in the mode the tray serves.
    QString defaultPlayerCommand() const;
    void OpenDefaultPlayer();
    void RunPlayer(const QString& command);
    void PlayBaby();
    void PlayParent();
    void PlaySettings();

    // "" when the player took the command, else the error number as text ("282").
    QString SendToPlayer(const QString& command);
    // Hands a command line to the running tray. The error number, 0 when accepted.
    int ForwardToRunningTray(const QString& command);

    // Parts 1, 2 and 4 of the player's four-part file version ("2.1.0.57" -> "2.1.57");
    // kUnknownVersion when the player has no such version.
    QString PlayerVersion() const;
    static QString versionText(const QString& fileVersion);
    static inline const QString kUnknownVersion = QStringLiteral("0.0.0");
    // Starts the updater with PlayerVersion() & "|||ShowErr". True when it started.
    bool RunUpdate();

private:
    // One command on a link topic: the link's answer, or the number of what failed.
    int execute(const QString& topic, const QString& command);

    TrayState& m_state;
    ProcessLauncher& m_launcher;
    PlayerLinkClient& m_link;
    FileVersionReader& m_versions;
    std::function<void()> m_hideMainWindow;
};
