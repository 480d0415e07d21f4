#pragma once

#include "Seams.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>

class UserBabyLoginMode;
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
    // The clock names the file of a damaged database that is moved aside.
    LocalConn(const UserBabyLoginMode& user, Prompt& prompt, const Clock& clock);
    ~LocalConn();

    // First column of the first row; an invalid QVariant when there is none. ok (when
    // given) tells a statement that ran from one that failed.
    QVariant ExecuteSql(const QString& sql, const QVariantList& params = {}, bool* ok = nullptr);
    // "begin;" & sql & "commit" in one call.
    void ExecuteBatch(const QString& sql);
    // Every row, each in the column order of the SELECT; still readable after the
    // statement is finished.
    QList<QVariantList> QuerySql(const QString& sql, const QVariantList& params = {});

    // One statement for callers that need to know whether it worked: true when it
    // ran to the end; changes (when given) receives the number of rows it wrote.
    bool Execute(const QString& sql, const QVariantList& params = {}, qint64* changes = nullptr);

    // The last statement could not write: tells the user once per database file that
    // the history cannot be written (a lock held by another program only leaves a trace).
    void reportWriteFailure();

    // The database file the next statement will use.
    QString databasePath() const;
    // <program folder>/Users/All Users/Info.db, only ever read.
    static QString templatePath();

    // Texts shown to the user.
    static QString missingTemplateMessage();
    static QString damagedMessage(const QString& movedTo);
    static QString unwritableMessage(const QString& path);

private:
    // Runs work (which returns an SQLite result code) on a freshly opened database
    // and closes it again. True when the work returned SQLITE_OK.
    bool run(const std::function<int(sqlite3*)>& work);
    sqlite3* open(const QString& folder, const QString& path);
    bool moveAside(const QString& path);
    bool setLinkAside(const QString& path);
    int checkTables(sqlite3* db, const QString& path);
    // Shows text from the event loop; a text already waiting is not queued twice.
    void tell(const QString& text, PromptIcon icon);

    const UserBabyLoginMode& m_user;
    Prompt& m_prompt;
    const Clock& m_clock;
    bool m_toldDamaged = false;
    bool m_loggedDamaged = false;
    // Set when a fresh copy of the template is itself damaged: then no more files are
    // moved aside in this run, or every statement would leave another one behind.
    bool m_templateDamaged = false;
    // Result of the last operation's statement (kNoDatabase when no file could be had).
    int m_lastResult = 0;
    bool m_loggedBusy = false;
    // Files whose tables were looked at in this run; a file made anew is looked at again.
    QSet<QString> m_checkedFiles;
    QSet<QString> m_toldUnwritable;
    QSet<QString> m_waitingTexts;
    // Queued prompts die with the connection.
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>();
};
