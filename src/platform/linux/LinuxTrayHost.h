#pragma once

#include "Seams.h"

// The system tray on a Linux desktop: an XEmbed tray (the X11 selection
// _NET_SYSTEM_TRAY_S0) or a StatusNotifierWatcher on the session bus.
class LinuxTrayHost : public TrayHostProbe {
public:
    bool trayPresent() override;
    bool itemOnDBus() override;
    bool hostPending() override;
};
