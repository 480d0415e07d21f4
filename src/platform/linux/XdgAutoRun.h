#pragma once

#include "Seams.h"

// $XDG_CONFIG_HOME/autostart/VantobelPlay.desktop whose Exec= runs the tray with
// "/TRAY"; "set" means the file exists.
class XdgAutoRun : public AutoRunStore {
public:
    explicit XdgAutoRun(QString trayExecutable);
    bool IsAutoRunSet() const override;
    bool SetAutoRun() override;
    bool RemoveAutoRun() override;
    QString entryPath() const;
    QString entryContents() const;

private:
    QString m_trayExecutable;
};
