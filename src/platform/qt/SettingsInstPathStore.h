#pragma once

#include "Seams.h"

// The maker's per-user settings store through QSettings' native format: on Linux
// $XDG_CONFIG_HOME/Fernhollow/<section>.conf (the registry on Windows).
class SettingsInstPathStore : public InstPathStore {
public:
    QString instPath(const QString& section) const override;
};
