#pragma once

#include "Seams.h"

// Opens http and https addresses with the desktop's browser; refuses the rest.
class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const QString& address) override;
};
