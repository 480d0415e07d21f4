#pragma once

// A program folder in a temporary directory with a template made from the schema
// the build uses, and the store objects working on it.

#include "Fakes.h"
#include "LocalConn.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <sqlite3.h>

// Runs SQL on a database file directly, beside the code under test; the first
// column of every row.
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

inline QString schemaText() {
    QFile f(VT_SOURCE_DIR "/resources/db/schema.sql");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

inline QByteArray fileHash(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : "";
}

struct StoreKit {
    TempProgramHome home;
    TrayState state;
    UserBabyLoginMode user{state};
    RecordingPrompt prompt;
    FixedClock clock;
    LocalConn conn{user, prompt, clock};

    explicit StoreKit(const QString& schema = schemaText()) {
        if (!schema.isEmpty()) {
            QDir().mkpath(home.path() + "/Users/All Users");
            sqlOn(templatePath(), schema);
        }
    }
    QString templatePath() const { return home.path() + "/Users/All Users/Info.db"; }
    QString userDb(const QString& folder) const { return home.path() + "/Users/" + folder + "/Info.db"; }
    void parent(const QString& name) {
        state.PlayerType = "ParentPlayer";
        state.ParentUser.Field[1] = name;
    }
};
