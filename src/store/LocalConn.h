#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>

class UserBabyLoginMode;
class Prompt;
class Clock;
struct sqlite3;

// The current user's Info.db, opened anew for every statement and made from the
// template (<program folder>/Users/All Users/Info.db) on first use. Values are
// always bound as parameters ("?" in the SQL). Database errors are swallowed:
// the caller gets an empty value or no rows.
//
// A database file that SQLite finds damaged (corrupt, or not a database at all) is
// renamed to "Info.db.damaged-<yyyyMMdd-HHmmss>" beside itself, a fresh copy of the
// template takes its place and the statement runs once more on it; the user is told
// the first time this happens in a run.
class LocalConn {
public:
    LocalConn(const UserBabyLoginMode& user, Prompt& prompt);
    // The clock names the file of a damaged database that is moved aside.
    LocalConn(const UserBabyLoginMode& user, Prompt& prompt, const Clock& clock);
    ~LocalConn();

    // First column of the first row; an invalid QVariant when there is none.
    QVariant ExecuteSql(const QString& sql, const QVariantList& params = {});
    // "begin;" & sql & "commit" in one call.
    void ExecuteBatch(const QString& sql);
    // Every row, each in the column order of the SELECT; still readable after the
    // statement is finished.
    QList<QVariantList> QuerySql(const QString& sql, const QVariantList& params = {});

    // One statement for callers that need to know whether it worked: true when it
    // ran to the end; changes (when given) receives the number of rows it wrote.
    bool Execute(const QString& sql, const QVariantList& params = {}, qint64* changes = nullptr);

    // The database file the next statement will use.
    QString databasePath() const;
    // <program folder>/Users/All Users/Info.db, only ever read.
    static QString templatePath();

    // Texts shown to the user.
    static QString missingTemplateMessage();
    static QString damagedMessage(const QString& movedTo);

private:
    // Runs work (which returns an SQLite result code) on a freshly opened database
    // and closes it again. True when the work returned SQLITE_OK.
    bool run(const std::function<int(sqlite3*)>& work);
    sqlite3* open(const QString& folder, const QString& path);
    bool moveAside(const QString& path);

    const UserBabyLoginMode& m_user;
    Prompt& m_prompt;
    std::unique_ptr<Clock> m_ownClock;
    const Clock& m_clock;
    bool m_toldDamaged = false;
    // Set when a fresh copy of the template is itself damaged: then no more files are
    // moved aside in this run, or every statement would leave another one behind.
    bool m_templateDamaged = false;
};
