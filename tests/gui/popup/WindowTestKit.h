#pragma once

// A program folder in a temporary directory with a template database made from the
// schema the build uses, and the store objects the windows work on.

#include "Fakes.h"
#include "HistoryTable.h"
#include "LocalConn.h"
#include "SettingsTable.h"
#include "SysPublicCls.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <sqlite3.h>

// Runs SQL on a database file directly; the first column of every row.
inline QVariantList sqlOn(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    QVariantList out;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK)
        sqlite3_exec(
            db, sql.toUtf8().constData(),
            [](void* o, int, char** values, char**) {
                static_cast<QVariantList*>(o)->append(values[0] ? QVariant(QString::fromUtf8(values[0])) : QVariant());
                return 0;
            },
            &out, nullptr);
    sqlite3_close(db);
    return out;
}

struct WindowKit {
    TempProgramHome home;
    TrayState state;
    UserBabyLoginMode user{state};
    RecordingPrompt prompt;
    FixedClock clock;
    LocalConn conn{user, prompt, clock};
    SettingsTable settings{conn};
    HistoryTable history{conn};
    SequenceRandom random;
    SysPublicCls utils{clock, random};
    RecordingUrlOpener urls;

    WindowKit() {
        QFile schema(VT_SOURCE_DIR "/resources/db/schema.sql");
        QDir().mkpath(home.path() + "/Users/All Users");
        if (schema.open(QIODevice::ReadOnly))
            sqlOn(home.path() + "/Users/All Users/Info.db", QString::fromUtf8(schema.readAll()));
        conn.ExecuteSql(QStringLiteral("select 1")); // makes the user's database from the template
    }
    QString db() const { return conn.databasePath(); }
    QString one(const QString& sql) const {
        const QVariantList rows = sqlOn(db(), sql);
        return rows.isEmpty() ? QStringLiteral("<none>") : rows.first().toString();
    }
};

// Deletes what windows left for deferred deletion (they delete themselves on close).
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
