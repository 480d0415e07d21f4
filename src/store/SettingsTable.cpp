#include "SettingsTable.h"

#include "LocalConn.h"
#include "SysPublicCls.h"

#include <QRegularExpression>

namespace {

const QString kNoFieldData = QStringLiteral("NoFieldData");

// A table name cannot be bound as a parameter, so only a plain identifier is let
// into the statement text (every caller passes "SoftSettings").
bool isPlainIdentifier(const QString& table) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(table).hasMatch();
}

} // namespace

SettingsTable::SettingsTable(LocalConn& conn) : m_conn(conn) {}

QString SettingsTable::ReadSetting(const QString& table, const QString& field) {
    if (!isPlainIdentifier(table))
        return kNoFieldData;
    const QVariant value = m_conn.ExecuteSql(
        QStringLiteral("Select DataStr From ") + table + QStringLiteral(" Where FieldStr=?"), {field});
    if (SysPublicCls::IsBlank(value))
        return kNoFieldData;
    return value.toString();
}

QString SettingsTable::ReadSettingOrBlank(const QString& table, const QString& field) {
    const QString value = ReadSetting(table, field);
    return value == kNoFieldData ? QString() : value;
}

bool SettingsTable::WriteSetting(const QString& table, const QString& field, const QString& value) {
    if (!isPlainIdentifier(table))
        return false;
    return m_conn.Execute(QStringLiteral("Replace Into ") + table + QStringLiteral(" (FieldStr,DataStr) Values(?,?)"),
                          {field, value});
}

QList<QPair<QString, QString>> SettingsTable::ReadAll() {
    QList<QPair<QString, QString>> pairs;
    const QList<QVariantList> rows = m_conn.QuerySql(QStringLiteral("Select FieldStr,DataStr From SoftSettings"));
    pairs.reserve(rows.size());
    for (const QVariantList& row : rows) {
        if (row.size() < 2)
            continue;
        // A NULL cell reads as empty text rather than failing the whole read.
        pairs.append({SysPublicCls::isNull(row.at(0)) ? QString() : row.at(0).toString(),
                      SysPublicCls::isNull(row.at(1)) ? QString() : row.at(1).toString()});
    }
    return pairs;
}
