#pragma once

#include <QList>
#include <QPair>
#include <QString>

class LocalConn;

// The key/value table SoftSettings of the user's Info.db.
class SettingsTable {
public:
    explicit SettingsTable(LocalConn& conn);

    // The stored value, or "NoFieldData" when it is blank or missing.
    QString ReadSetting(const QString& table, const QString& field);
    // ReadSetting with "NoFieldData" turned into "".
    QString ReadSettingOrBlank(const QString& table, const QString& field);
    // Replace Into; false when the database refused it.
    bool WriteSetting(const QString& table, const QString& field, const QString& value);
    // "Select FieldStr,DataStr From SoftSettings" as (FieldStr, DataStr) pairs.
    QList<QPair<QString, QString>> ReadAll();

private:
    LocalConn& m_conn;
};
