#pragma once

#include <QString>
#include <optional>

class TrayState;

// The windows a desktop-entry action asks the running tray for: the way in on a
// desktop that shows no tray icon.
enum class HostWindow { MessageBox, Settings, About, ExitQuestion };

// The window a command names: "/messagebox", "/settings", "/about" or "/quit" (asks
// before quitting, as the menu does) as its switch, in any case; the fields after it
// are ignored. Nothing for every other command.
std::optional<HostWindow> windowCommand(const QString& command);

// What an execute from the player or a second start may ask of the tray host.
class TrayHostActions {
public:
    virtual ~TrayHostActions() = default;
    virtual void DeleteTrayIcon() = 0;
    virtual void ShowAppIcoMain() = 0;
    virtual void QuitTray() = 0;
    virtual void OpenWindow(HostWindow window) = 0;
    // A system tray is there to show the icon (and with it the menu).
    virtual bool TrayHostPresent() const = 0;
};

// The tray's execute handler. A window command opens its window and changes no state
// (the player's data and the command line stay as the player left them). Every other
// command replaces CommandLine and CommandOption; the option "HiddenTrayIco" deletes
// the icon first; "/b" and "/u" take the user data, "/exit" quits without asking,
// "/showappico" shows the icon again, and "/tray" (a start from the menu) opens the
// message box when no tray shows the icon. Nothing is started and nothing leaves this
// function.
void HandleLinkExecute(TrayState& state, const QString& command, TrayHostActions& host) noexcept;
