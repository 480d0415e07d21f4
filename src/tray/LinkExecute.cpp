#include "LinkExecute.h"

#include "FailurePolicy.h"
#include "TrayState.h"

void HandleLinkExecute(TrayState& state, const QString& command, TrayHostActions& host) noexcept {
    TrayState::Parsed parsed;
    resumeNext([&] { parsed = state.setCommand(command); });
    if (state.hidesTrayIcon())
        resumeNext([&] { host.DeleteTrayIcon(); });
    const QString& sw = parsed.lowerSwitch;
    if (sw == QLatin1String("/b"))
        resumeNext([&] { state.applyUserSwitch(parsed.elements, true); });
    else if (sw == QLatin1String("/u"))
        resumeNext([&] { state.applyUserSwitch(parsed.elements, false); });
    else if (sw == QLatin1String("/exit"))
        resumeNext([&] { host.QuitTray(); });
    else if (sw == QLatin1String("/showappico"))
        resumeNext([&] { host.ShowAppIcoMain(); });
}
