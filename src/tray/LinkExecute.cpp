#include "LinkExecute.h"

#include "FailurePolicy.h"
#include "TrayState.h"

void HandleLinkExecute(TrayState& state, const QString& command, TrayHostActions& host) noexcept {
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
}
