#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString programFolder() {
    const QString home = qEnvironmentVariable("VANTOBEL_PLAY_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

QString programPath(const QString& relative) {
    return programFolder() + QLatin1Char('/') + relative;
}

QString writableRoot() {
    QString folder = programFolder();
    const QFileInfo users(folder + QLatin1String("/Users"));
    const bool usable = users.exists() ? (users.isDir() && users.isWritable()) : QFileInfo(folder).isWritable();
    if (usable)
        return folder;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.local/share");
    return QDir::cleanPath(base + QLatin1String("/VantobelPlayTray"));
}

QString sysIniPath() {
    return writableRoot() + QLatin1String("/Users/All Users/Sys.ini");
}
