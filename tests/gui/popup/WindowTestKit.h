#pragma once

// The store's test program folder (a temporary home with the template database)
// plus the tables and seams the windows work on.

#include "../../unit/store/StoreTestKit.h"
#include "HistoryTable.h"
#include "SettingsTable.h"
#include "SysPublicCls.h"

#include <QCoreApplication>

struct WindowKit : StoreKit {
    SettingsTable settings{conn};
    HistoryTable history{conn};
    SequenceRandom random;
    SysPublicCls utils{clock, random};
    RecordingUrlOpener urls;

    WindowKit() { conn.ExecuteSql(QStringLiteral("select 1")); } // makes the user's database
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
