#include "HistoryTable.h"
#include "NoticeFields.h"
#include "SettingsTable.h"
#include "StoreTestKit.h"
#include "TestMain.h"

#include <QtTest>

namespace {

QDateTime at(const QString& text) {
    return QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
}

// While `tracing`, every statement any connection of this process runs, as it ran.
bool tracing = false;
QStringList traced;
void traceEveryConnection() {
    const auto onOpen = [](sqlite3* db, const char**, const sqlite3_api_routines*) {
        return sqlite3_trace_v2(
            db, SQLITE_TRACE_STMT,
            [](unsigned, void*, void* statement, void*) {
                char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
                if (tracing && sql != nullptr)
                    traced << QString::fromUtf8(sql);
                sqlite3_free(sql);
                return 0;
            },
            nullptr);
    };
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(+onOpen));
}

} // namespace

class TestStoreTables : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settings() {
        StoreKit k;
        SettingsTable s(k.conn);
        QCOMPARE(s.ReadSetting("SoftSettings", "AllMessagePeaceful"), QString("NoFieldData"));
        QCOMPARE(s.ReadSettingOrBlank("SoftSettings", "AllMessagePeaceful"), QString());
        QVERIFY(s.WriteSetting("SoftSettings", "PopAutoCloseTime_SysAdv", "5"));
        QVERIFY(s.WriteSetting("SoftSettings", "PopAutoCloseTime_SysAdv", "7"));
        QVERIFY(s.WriteSetting("SoftSettings", "popshow_sysadv", "0"));
        QVERIFY(s.WriteSetting("SoftSettings", "Blank", " "));
        QVERIFY(s.WriteSetting("SoftSettings", "k'ey", "it's"));
        QCOMPARE(s.ReadSetting("SoftSettings", "PopAutoCloseTime_SysAdv"), QString("7"));
        QCOMPARE(s.ReadSetting("SoftSettings", "PopShow_SysAdv"), QString("NoFieldData")); // exact key only
        QCOMPARE(s.ReadSetting("SoftSettings", "Blank"), QString("NoFieldData"));
        QCOMPARE(s.ReadSetting("SoftSettings", "k'ey"), QString("it's"));
        QCOMPARE(s.ReadAll().size(), 4);

        // Nothing but a plain table name gets into the statement text.
        QVERIFY(!s.WriteSetting("SoftSettings;Drop Table HistoryNews", "a", "b"));
        QCOMPARE(s.ReadSetting("SoftSettings Where 1--", "x"), QString("NoFieldData"));
        QVERIFY(k.conn.ExecuteSql("select Count(*) from HistoryNews").isValid());
    }

    void settingsTableIsMadeWhenTheDatabaseLacksIt() {
        StoreKit k("CREATE TABLE HistoryNews(Id INTEGER PRIMARY KEY, Status INTEGER DEFAULT 0);");
        SettingsTable s(k.conn);
        QVERIFY(s.WriteSetting("SoftSettings", "AllMessagePeaceful", "1"));
        QCOMPARE(s.ReadSettingOrBlank("SoftSettings", "AllMessagePeaceful"), QString("1"));
        // Made once per file, not before every statement.
        sqlOn(k.userDb("guest"), "drop table SoftSettings");
        QCOMPARE(s.ReadSetting("SoftSettings", "AllMessagePeaceful"), QString("NoFieldData"));
        QCOMPARE(sqlOn(k.userDb("guest"), "select count(*) from sqlite_master where name='SoftSettings'"),
                 QVariantList{"0"});
    }

    // Another program holds the database: nothing reads as new, and what cannot be
    // stored is not offered again in this run.
    void lockedOrUnwritableHistory() {
        StoreKit k;
        HistoryTable h(k.conn);
        QVERIFY(h.StoreNotice("公告", "Seen", "http://n/1", "", at("2009-03-05 14:05:06"), "s1"));
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(k.userDb("guest")).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
        QVERIFY(h.IsSeen("New", "http://n/2") == HistoryTable::Seen::Unknown);
        QVERIFY(!h.StoreNotice("公告", "Locked", "http://n/3", "", at("2009-03-05 14:05:07"), "s3"));
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(h.IsSeen("New", "http://n/2") == HistoryTable::Seen::No &&
                h.IsSeen("LOCKED", "HTTP://n/3") == HistoryTable::Seen::Yes);
        QVERIFY(k.told().isEmpty()); // a lock passes; it is no reason to alarm the user

        // A history that drops every row: each notice is offered once at most, the user told once.
        sqlOn(k.userDb("guest"), "create trigger refuse before insert on HistoryNews begin select raise(ignore); end");
        QVERIFY(!h.StoreNotice("广告", "AZ Refused", "http://n/4", "", at("2009-03-05 14:05:08"), "s4"));
        QVERIFY(!h.StoreNotice("广告", "Refused too", "http://n/5", "", at("2009-03-05 14:05:09"), "s5"));
        QVERIFY(h.IsSeen("az refused", "http://N/4") == HistoryTable::Seen::Yes &&
                h.IsSeen("Refused", "http://n/6") == HistoryTable::Seen::No);
        QVERIFY(k.prompt.calls.isEmpty()); // never from inside the operation
        QCOMPARE(k.told(), QStringList{LocalConn::unwritableMessage(k.userDb("guest"))});
        QVERIFY(k.prompt.calls[0].text.contains(k.userDb("guest")));
        QVERIFY(!h.StoreNotice("广告", "Refused again", "http://n/7", "", at("2009-03-05 14:05:10"), "s7"));
        QCOMPARE(k.told().size(), 1);
    }

    // Case-insensitive sightings and read marks of the message box are its own test's.
    void storeSeenAndMarkRead() {
        StoreKit k;
        HistoryTable h(k.conn);
        const QString url = "http://example.com/n?id='1'";
        QVERIFY(h.IsSeen("Title", url) == HistoryTable::Seen::No);
        QVERIFY(h.StoreNotice("公'告", "Hello World", url, "", at("2009-03-05 14:05:06"), "s'1"));
        QVERIFY(h.StoreNotice("广告", "Other", "http://example.com/B", "", at("2009-03-05 14:05:07"), "s2"));
        QVERIFY(h.IsSeen("Hello World", url) == HistoryTable::Seen::Yes &&
                h.IsSeen("Hello World", "http://example.com/other") == HistoryTable::Seen::No);
        QCOMPARE(QStringList({h.Page(0)[1].TypeStr, h.Page(0)[1].SNo}), QStringList({"公'告", "s'1"}));

        h.MarkReadBySNo("s'1");
        QCOMPARE(QList<qint64>({h.HistoryCount(0), h.HistoryCount(QString("  ")), h.HistoryCount(1)}),
                 QList<qint64>({1, 2, 1}));
        // The same serial again replaces its row, unread once more.
        h.MarkReadBySNo("s2");
        QVERIFY(h.StoreNotice("广告", "Other", "http://example.com/B", "", at("2009-03-06 00:00:00"), "s2"));
        QCOMPARE(QList<qint64>({h.HistoryCount(), h.HistoryCount(0)}), QList<qint64>({2, 1}));
    }

    // One notice has a bounded cost: its fields are cut on a character boundary when
    // stored, the cut notice is still found as seen, and rows stored whole before come
    // back cut.
    void oversizedFieldsAreCut() {
        StoreKit k;
        HistoryTable h(k.conn);
        const QString title = QString(NoticeFields::kTitle - 1, 't') + "😀" + QString(990'000, 'x');
        const QString url = "http://example.com/" + QString(100'000, 'u');
        QVERIFY(h.StoreNotice(QString(100'000, 'k'), title, url, QString(300, 'b'), at("2009-03-05 14:05:06"), "s1"));
        QVERIFY(h.IsSeen(title, url) == HistoryTable::Seen::Yes);
        QVERIFY(h.IsSeen(title.left(NoticeFields::kTitle - 2), url) == HistoryTable::Seen::No);
        HistoryRow row = h.Page(0).value(0);
        QVERIFY(row.Title == QString(NoticeFields::kTitle - 1, 't') && row.UrlStr == url.left(NoticeFields::kAddress) &&
                row.TypeStr.size() == NoticeFields::kType);
        h.MarkReadByUrl(url);
        QCOMPARE(h.HistoryCount(1), 1);

        sqlOn(k.conn.databasePath(), "update HistoryNews set Title=replace(hex(zeroblob(600000)),'00','y'),"
                                     "PhotoPath=Title||Title||Title, Brief=Title");
        row = h.Page(0).value(0);
        QCOMPARE(QList<qsizetype>({row.Title.size(), row.PhotoPath.size(), row.Brief.size()}),
                 QList<qsizetype>({NoticeFields::kTitle, NoticeFields::kAddress, NoticeFields::kStoredBrief}));
    }

    // Newest first across day, month and year ends (the stored time sorts as text),
    // equal times by Id, in pages of any size.
    void pagesRunNewestFirst() {
        StoreKit k;
        HistoryTable h(k.conn);
        const QStringList times = {"2009-12-31 23:59:30", "2010-01-01 00:00:01", "2009-02-28 09:00:00",
                                   "2009-10-01 00:00:00", "2009-09-30 23:00:00", "2030-01-01 00:00:00",
                                   "2030-01-01 00:00:00"};
        for (int i = 0; i < times.size(); ++i)
            QVERIFY(h.StoreNotice("t", QString::number(i), "u", "", at(times[i]), QString::number(i)));
        QStringList seen;
        for (const qint64 offset : {0, 3, 6, 9})
            for (const HistoryRow& r : h.Page(offset, 3))
                seen << r.Title;
        QCOMPARE(seen, QStringList({"5", "6", "1", "0", "3", "4", "2"}));
        QVERIFY(h.Page(0, 0).isEmpty() && h.Page(0, -1).isEmpty());
    }

    // What the program runs while notices come in and the history is paged, read and
    // counted, each statement as it ran, planned on the shipped template: none scans
    // the table or sorts it.
    void busyQueriesUseTheIndexes() {
        StoreKit k;
        const QString built = VT_PROGRAM_DIR "/Users/All Users/Info.db";
        const QString ddl = "select group_concat(sql, ';') from (select sql from sqlite_master order by name)";
        QCOMPARE(sqlOn(built, ddl), sqlOn(k.templatePath(), ddl)); // the shipped template is schema.sql
        HistoryTable h(k.conn);
        QVERIFY(h.StoreNotice("t", "a", "u", "", at("2030-01-01 00:00:00"), "x1"));
        traceEveryConnection();
        tracing = true;
        h.IsSeen("a", "u");
        h.Page(980);
        h.HistoryCount(0);
        h.MarkReadBySNo("x1");
        h.MarkReadByUrl("u");
        tracing = false;
        const QStringList busy = traced.filter(
            QRegularExpression("^\\s*(select|update)\\b.*HistoryNews", QRegularExpression::CaseInsensitiveOption));
        QVERIFY2(busy.size() >= 5, qPrintable(traced.join('\n')));
        for (const QString& sql : busy) {
            QStringList steps;
            for (const QVariant& step : sqlOn(k.templatePath(), "explain query plan " + sql, 3))
                steps << step.toString();
            QVERIFY2(steps.join(' ').contains("INDEX") && !steps.join(' ').contains("TEMP B-TREE"),
                     qPrintable(sql + ": " + steps.join(" / ")));
        }
    }
};

VT_TEST(TestStoreTables)
#include "test_storetables.moc"
