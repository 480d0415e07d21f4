#pragma once

#include <QString>

class TrayState;

// What an execute from the player or a second start may ask of the tray host.
class TrayHostActions {
public:
    virtual ~TrayHostActions() = default;
    virtual void DeleteTrayIcon() = 0;
    virtual void ShowAppIcoMain() = 0;
    virtual void QuitTray() = 0;
};

// The tray's execute handler: every command replaces CommandLine and CommandOption;
// the option "HiddenTrayIco" deletes the icon first; "/b" and "/u" take the user
// data, "/exit" quits without asking, "/showappico" shows the icon again. Nothing
// is started and nothing leaves this function.
void HandleLinkExecute(TrayState& state, const QString& command, TrayHostActions& host) noexcept;
