#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

class UserBabyLoginMode;
class Prompt;

// The current user's Info.db, opened anew for every statement and made from the
// template (<program folder>/Users/All Users/Info.db) on first use. Values are
// always bound as parameters ("?" in the SQL). Database errors are swallowed:
// the caller gets an empty value or no rows.
class LocalConn {
public:
    LocalConn(const UserBabyLoginMode& user, Prompt& prompt);

    // First column of the first row; an invalid QVariant when there is none.
    QVariant ExecuteSql(const QString& sql, const QVariantList& params = {});
    // "begin;" & sql & "commit" in one call.
    void ExecuteBatch(const QString& sql);
    // Every row, each in the column order of the SELECT; still readable after the
    // statement is finished.
    QList<QVariantList> QuerySql(const QString& sql, const QVariantList& params = {});

    // The database file the next statement will use.
    QString databasePath() const;

private:
    const UserBabyLoginMode& m_user;
    Prompt& m_prompt;
};
