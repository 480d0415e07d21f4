#include "LinkExecute.h"

#include "FailurePolicy.h"
#include "TrayState.h"

std::optional<HostWindow> windowCommand(const QString& command) {
    const QString sw = command.section(QStringLiteral("|||"), 0, 0).toLower();
    if (sw == QLatin1String("/messagebox"))
        return HostWindow::MessageBox;
    if (sw == QLatin1String("/settings"))
        return HostWindow::Settings;
    if (sw == QLatin1String("/about"))
        return HostWindow::About;
    if (sw == QLatin1String("/quit"))
        return HostWindow::ExitQuestion;
    return std::nullopt;
}

void HandleLinkExecute(TrayState& state, const QString& command, TrayHostActions& host) noexcept {
    std::optional<HostWindow> window;
    resumeNext(lcLink, "read a window command", [&] { window = windowCommand(command); });
    if (window) {
        resumeNext(lcLink, "open the window a command names", [&] { host.OpenWindow(*window); });
        return;
    }
    TrayState::Parsed parsed;
    resumeNext(lcLink, "read a link command", [&] { parsed = state.setCommand(command); });
    if (state.hidesTrayIcon())
        resumeNext(lcLink, "remove the icon", [&] { host.DeleteTrayIcon(); });
    const QString& sw = parsed.lowerSwitch;
    if (sw == QLatin1String("/b"))
        resumeNext(lcLink, "switch to the baby user", [&] { state.applyUserSwitch(parsed.elements, true); });
    else if (sw == QLatin1String("/u"))
        resumeNext(lcLink, "switch to the parent user", [&] { state.applyUserSwitch(parsed.elements, false); });
    else if (sw == QLatin1String("/exit"))
        resumeNext(lcLink, "quit on request", [&] { host.QuitTray(); });
    else if (sw == QLatin1String("/showappico"))
        resumeNext(lcLink, "show the icon again", [&] { host.ShowAppIcoMain(); });
    else if (sw == QLatin1String("/tray"))
        // Without an icon the menu start would show nothing at all.
        resumeNext(lcLink, "open the message box without a tray", [&] {
            if (!host.TrayHostPresent())
                host.OpenWindow(HostWindow::MessageBox);
        });
}
