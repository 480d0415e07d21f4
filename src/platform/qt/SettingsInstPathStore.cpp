#include "SettingsInstPathStore.h"

#include <QSettings>

QString SettingsInstPathStore::instPath(const QString& section) const {
    if (section.isEmpty())
        return {};
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Fernhollow"), section);
    return store.value(QStringLiteral("InstPath")).toString();
}
