#pragma once

#include "LinkExecute.h"
#include "NotifyIconData.h"
#include "SiblingPrograms.h"
#include "Skin.h"
#include "TrayIcon.h"
#include "TrayMenu.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class PlayerControl;
class ProgramExit;
class Prompt;
class QPushButton;
class TrayHostProbe;
class TrayState;

// The web home item's three ways out: the configured address, the signed link and
// the plain browser.
struct WebHomeLinks {
    std::function<QString()> homeAddress;
    std::function<void(const QString&)> goWebLogin;
    std::function<void(const QString&)> openUrl;
};

// The web home page is opened signed only when the parent's name and password
// fields and the active user's third field are all filled in.
bool webHomeSigned(const TrayState& state);

// Replaces Sys.ini with "TrayDefaultType=" & playerType & CR LF, making its folder
// first. False when it could not be written.
bool WriteTrayDefaultType(const QString& sysIni, const QString& playerType);

struct SysLoadDeps {
    TrayState& state;
    PlayerControl& player;
    SiblingLauncher& siblings;
    Prompt& prompt;
    TrayHostProbe& trayHost;
    WebHomeLinks web;
    QString sysIni;     // where the close request writes the served player
    QString skinFolder; // ends with "/"
    ProgramExit& exit;
    // Starts the connection watch's timer when the host has loaded.
    std::function<void()> startConnectionWatch;
};

// The hidden host window: owns the tray icon and its menu, handles the link's
// executes, the menu items and the quit sequence. Never shown by the program.
class SysLoad : public QWidget, public TrayHostActions {
    Q_OBJECT
public:
    explicit SysLoad(SysLoadDeps deps, QWidget* parent = nullptr);
    ~SysLoad() override;

    // The load sequence: skin, icon (unless hidden), connection watch, sibling menu.
    void Load(const QList<SiblingEntry>& siblings);

    // Icon operations.
    void ShowAppIcoMain() override;
    void DeleteTrayIcon() override;
    void UpdSysIco(TrayIconState state, const QString& text);
    void UpdSysLoadIco() { setIconState(TrayIconState::Normal); }
    static QString tooltipFor(TrayIconState state);

    void LoadSoftBrothersMenu(const QList<SiblingEntry>& siblings);

    // The link's execute handler.
    void LinkExecute(const QString& command) { HandleLinkExecute(m_deps.state, command, *this); }

    // Menu items without a window of their own.
    void ExitItem();
    void OpenWebHome();

    // Shutdown: the close request writes Sys.ini; the quit sequence may be entered
    // again while it runs (and after) without doing anything twice.
    void CloseRequest();
    void QuitTray() override;
    // A desktop action's window, as the menu item would open it.
    void OpenWindow(HostWindow window) override;
    bool TrayHostPresent() const override { return m_icon.trayPresent(); }
    bool isQuitting() const { return m_quitting; }
    // The event loop ends without the quit sequence (the desktop session is over):
    // remember the served player and leave no icon behind.
    void SessionEnded();

    // The window the player start hides: this host, or the message box once open.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    QWidget* mainWindow() const { return m_mainWindow; }
    void hideMainWindow();

    TrayIcon& trayIcon() { return m_icon; }
    TrayMenu& trayMenu() { return m_menu; }
    SkinEngine& skin() { return m_skin; }
    QPushButton* goButton() const { return m_goButton; }

public Q_SLOTS:
    // The look the connection watch asks for, with its tooltip.
    void setIconState(TrayIconState state) { UpdSysIco(state, tooltipFor(state)); }

Q_SIGNALS:
    // Items whose windows the composition opens.
    void aboutRequested();
    void settingsRequested();
    void messageBoxRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showMenu();

    SysLoadDeps m_deps;
    TrayIcon m_icon{m_deps.trayHost};
    TrayMenu m_menu;
    SkinEngine m_skin;
    QPushButton* m_goButton = nullptr;
    QPointer<QWidget> m_mainWindow;
    bool m_quitting = false;
};
