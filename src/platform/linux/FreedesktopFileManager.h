#pragma once

#include "Seams.h"

// The file manager on the session bus (org.freedesktop.FileManager1); without one,
// the file's folder opens in whatever the desktop opens folders with.
class FreedesktopFileManager : public FileManager {
public:
    // dbusConnectionName names a connection made with QDBusConnection::connectToBus;
    // the session bus when empty.
    explicit FreedesktopFileManager(QString dbusConnectionName = {});
    bool show(const QString& absolutePath, View view) override;

private:
    QString m_dbusConnectionName;
};
