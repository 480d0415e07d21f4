#pragma once

#include <QString>

// Start with the desktop session.
class AutoRunStore {
public:
    virtual ~AutoRunStore() = default;
    virtual bool IsAutoRunSet() const = 0;
    // True when the change was stored.
    virtual bool SetAutoRun() = 0;
    virtual bool RemoveAutoRun() = 0;
};

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
