#include "FreedesktopFileManager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString kFileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

bool fileManagerOffered(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return false;
    const QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon)
        return false;
    if (daemon->isServiceRegistered(kFileManagerService).value())
        return true;
    return daemon->activatableServiceNames().value().contains(kFileManagerService);
}

} // namespace

FreedesktopFileManager::FreedesktopFileManager(QString dbusConnectionName)
    : m_dbusConnectionName(std::move(dbusConnectionName)) {}

bool FreedesktopFileManager::show(const QString& absolutePath, View view) {
    const QFileInfo info(absolutePath);
    const QUrl item = QUrl::fromLocalFile(info.absoluteFilePath());
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());

    const QDBusConnection bus =
        m_dbusConnectionName.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(m_dbusConnectionName);
    if (fileManagerOffered(bus)) {
        const QString method =
            view == View::Properties ? QStringLiteral("ShowItemProperties") : QStringLiteral("ShowItems");
        QDBusMessage call =
            QDBusMessage::createMethodCall(kFileManagerService, kFileManagerPath, kFileManagerService, method);
        call << QStringList{item.toString()} << QString();
        // Not waited for: starting a file manager can take seconds, and the tray must not
        // freeze meanwhile. Should the call fail, the folder opens instead.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, folder](QDBusPendingCallWatcher*) {
            if (watcher->isError())
                QDesktopServices::openUrl(folder);
            watcher->deleteLater();
        });
        return true;
    }
    return QDesktopServices::openUrl(folder);
}
