#pragma once

// A program folder in a temporary directory with a template made from the schema
// the build uses, and the store objects working on it.

#include "Fakes.h"
#include "LocalConn.h"
#include "TrayState.h"
#include "UserBabyLoginMode.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <sqlite3.h>

// Runs SQL on a database file directly, beside the code under test; the given column
// (the first by default) of every row.
inline QVariantList sqlOn(const QString& path, const QString& sql, int column = 0) {
    sqlite3* db = nullptr;
    std::pair<QVariantList, int> out{{}, column};
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK)
        sqlite3_exec(
            db, sql.toUtf8().constData(),
            [](void* o, int n, char** values, char**) {
                auto& [rows, at] = *static_cast<std::pair<QVariantList, int>*>(o);
                rows.append(at < n && values[at] ? QVariant(QString::fromUtf8(values[at])) : QVariant());
                return 0;
            },
            &out, nullptr);
    sqlite3_close(db);
    return out.first;
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
    // What the user has been told once the event loop ran (never from inside a statement).
    QStringList told() {
        QCoreApplication::processEvents();
        QStringList texts;
        for (const PromptCall& call : prompt.calls)
            texts << call.text;
        return texts;
    }
    void parent(const QString& name) {
        state.PlayerType = "ParentPlayer";
        state.ParentUser.Field[1] = name;
    }
};
