// The store: the user's database file (where it lives, how it is made, kept and moved
// aside) and the settings and history tables on it.
#include "AsNobody.h"
#include "HistoryTable.h"
#include "NoticeFields.h"
#include "SettingsTable.h"
#include "StoreTestKit.h"
#include "TestMain.h"

#include <QTemporaryDir>
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

class TestStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The folder follows the served player; names that could leave Users/ or meet
    // another user's folder are escaped, reversibly.
    void userFoldersStayBelowUsersAndApart() {
        StoreKit k;
        QCOMPARE(k.user.UserFolder(), k.home.path() + "/Users/guest/");
        k.parent("小明");
        QCOMPARE(k.user.UserFolder(), k.home.path() + "/Users/小明/");
        k.state.PlayerType = "BABYPLAYER";
        k.state.BabyUser.Field[0] = "宝宝";
        QCOMPARE(k.user.UserFolder(), k.home.path() + "/Users/宝宝/");

        const QStringList names = {"..", ".", "../x", "a\\b", QString("a") + QChar(0) + "b", "a%2Fb", "all users"};
        QSet<QString> folders;
        for (const QString& name : names) {
            const QString folder = UserBabyLoginMode::folderNameFor(name);
            QVERIFY2(folder != "." && folder != ".." && !folder.contains('/') && !folder.contains('\\') &&
                         !folder.contains(QChar(0)) && folder.compare("All Users", Qt::CaseInsensitive) != 0,
                     qPrintable(name));
            QCOMPARE(QUrl::fromPercentEncoding(folder.toUtf8()), name); // reversible
            folders.insert(folder);
        }
        QCOMPARE(folders.size(), names.size());
        for (const QString plain : {"小明", ".hidden", "a b"})
            QCOMPARE(UserBabyLoginMode::folderNameFor(plain), QString(plain));
        k.parent("../../escape");
        k.conn.ExecuteSql("Select 1");
        QVERIFY(QFile::exists(k.userDb("..%2F..%2Fescape")) && !QFile::exists(k.home.path() + "/../escape"));
    }

    void firstUseCopiesTheTemplateAndNeverWritesIt() {
        StoreKit k;
        k.parent("Tom");
        const QByteArray before = fileHash(k.templatePath());
        k.conn.ExecuteSql("Insert Into HistoryNews(Title,SNo) Values(?,?)", {"t", "s1"});
        QCOMPARE(sqlOn(k.userDb("Tom"), "select Title from HistoryNews"), QVariantList{"t"});
        QCOMPARE(fileHash(k.templatePath()), before);
        QVERIFY(k.prompt.calls.isEmpty());

        // The guest folder serves while no name is known.
        k.parent("");
        QCOMPARE(k.conn.ExecuteSql("select Count(*) from HistoryNews").toInt(), 0);
        QVERIFY(QFile::exists(k.userDb("guest")));
    }

    // Told from the event loop after the operation, never inside it (the caller may be
    // a window being built), and one waiting box per text.
    void missingTemplateIsReportedAfterTheStatement() {
        StoreKit k(QString{});
        bool ok = true;
        QVERIFY(k.conn.QuerySql("select 1").isEmpty() && !k.conn.ExecuteSql("select 1", {}, &ok).isValid() && !ok &&
                !k.conn.Execute("select 1") && k.prompt.calls.isEmpty());
        QCOMPARE(k.told(), QStringList{"Err.请关闭后重新打开！"});
        QVERIFY(!QFile::exists(k.userDb("guest")));
        k.conn.ExecuteSql("select 1");
        QCOMPARE(k.told().size(), 2);
    }

    // An empty Info.db is never built on: without the template it stays empty, and the
    // template's copy replaces it once there is one. A file without HistoryNews (what
    // building on an empty file made) is no database of ours: moved aside, made anew.
    void emptyOrForeignUserFile() {
        StoreKit k(QString{});
        const QString db = k.userDb("guest");
        QDir().mkpath(QFileInfo(db).path());
        QVERIFY(QFile(db).open(QIODevice::WriteOnly));
        QVERIFY(!k.conn.Execute("select 1"));
        QVERIFY(QDir(QFileInfo(db).path()).entryList(QDir::Files) == QStringList{"Info.db"} &&
                QFileInfo(db).size() == 0);
        QDir().mkpath(k.home.path() + "/Users/All Users");
        sqlOn(k.templatePath(), schemaText());
        QVERIFY(k.conn.Execute("Insert Into HistoryNews(SNo) Values('x')"));
        QCOMPARE(sqlOn(db, "select SNo from HistoryNews"), QVariantList{"x"});

        StoreKit f;
        const QString foreign = f.userDb("guest");
        QDir().mkpath(QFileInfo(foreign).path());
        sqlOn(foreign, "create table SoftSettings(FieldStr TEXT PRIMARY KEY, DataStr TEXT);"
                       "insert into SoftSettings values('PopShow_SysAdv','0')");
        f.clock.set(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QVERIFY(f.conn.Execute("Insert Into HistoryNews(SNo) Values('y')"));
        QCOMPARE(sqlOn(foreign, "select SNo from HistoryNews"), QVariantList{"y"});
        QCOMPARE(sqlOn(foreign + ".damaged-20260102-030405", "select DataStr from SoftSettings"), QVariantList{"0"});
        QCOMPARE(f.told(), QStringList{LocalConn::damagedMessage("Info.db.damaged-20260102-030405")});

        // Nothing is made anew without the template: the user is not told otherwise.
        QVERIFY(QFile::remove(f.templatePath()));
        StoreKit g(QString{});
        QDir().mkpath(QFileInfo(g.userDb("guest")).path());
        QVERIFY(QFile::copy(foreign + ".damaged-20260102-030405", g.userDb("guest")));
        QVERIFY(!g.conn.Execute("select 1"));
        QCOMPARE(g.told(), QStringList{LocalConn::missingTemplateMessage()});
    }

    void valuesAreBoundAndRowsOutliveTheStatement() {
        StoreKit k;
        const QString nasty = "it's'); Drop Table HistoryNews;--";
        QVERIFY(k.conn.Execute("Insert Into HistoryNews(Title,UrlStr,SNo) Values(?,?,?)", {nasty, QVariant(), 7}));
        QCOMPARE(k.conn.ExecuteSql("select Title from HistoryNews where SNo=?", {"7"}).toString(), nasty);
        QVERIFY(!k.conn.ExecuteSql("select Title from HistoryNews where SNo='none'").isValid()); // empty, not 0
        const QList<QVariantList> rows = k.conn.QuerySql("select Id,Title,UrlStr,Status from HistoryNews");
        QCOMPARE(rows, QList<QVariantList>({{qint64(1), nasty, QString(""), qint64(0)}}));
    }

    void batchIsOneTransaction() {
        StoreKit k;
        k.conn.ExecuteBatch("");
        k.conn.ExecuteBatch("Insert Into HistoryNews(SNo) Values('a');Insert Into HistoryNews(SNo) Values('b');");
        k.conn.ExecuteBatch("Insert Into HistoryNews(SNo) Values('c');Insert Into HistoryNews(SNo) Values('a');");
        QCOMPARE(k.conn.ExecuteSql("select group_concat(SNo) from HistoryNews").toString(), QString("a,b"));
        QVERIFY(k.conn.Execute("Insert Into HistoryNews(SNo) Values('d')")); // no transaction left open
    }

    void damagedDatabaseIsMovedAsideAndRebuilt_data() {
        QTest::addColumn<bool>("wholeFile");
        QTest::newRow("not a database") << true;
        QTest::newRow("damaged page") << false;
    }
    void damagedDatabaseIsMovedAsideAndRebuilt() {
        QFETCH(bool, wholeFile);
        StoreKit k;
        const QString db = k.userDb("guest");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(k.conn.Execute("Insert Into HistoryNews(SNo,Title) Values('x',zeroblob(9000))"));
            QFile f(db);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(wholeFile ? 0 : 4096 * 3);
            f.write(QByteArray(wholeFile ? 200 : 8192, '\x5a'));
            f.close();
            const QByteArray damaged = fileHash(db);
            k.clock.set(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
            // One line in the log for the first damaged file of the run, none after.
            if (round == 0)
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("damaged database moved aside to .*030405\"$"));
            else
                QTest::failOnWarning(QRegularExpression("damaged"));
            QVERIFY(k.conn.Execute("Insert Into HistoryNews(SNo) Values(?)", {round}));
            const QString aside = db + ".damaged-20260102-030405" + (round ? "-1" : "");
            QCOMPARE(fileHash(aside), damaged);
            QCOMPARE(sqlOn(db, "select group_concat(SNo) from HistoryNews"), QVariantList{QString::number(round)});
        }
        QCOMPARE(k.told(), QStringList{LocalConn::damagedMessage("Info.db.damaged-20260102-030405")}); // once a run
    }

    void damagedTemplateLeavesOneFileAside() {
        StoreKit k(QString{});
        QDir().mkpath(k.home.path() + "/Users/All Users");
        QFile t(k.templatePath());
        QVERIFY(t.open(QIODevice::WriteOnly) && t.write(QByteArray(4096, 'x')) == 4096);
        t.close();
        for (int i = 0; i < 3; ++i)
            QVERIFY(!k.conn.Execute("select 1"));
        QCOMPARE(QDir(k.home.path() + "/Users/guest").entryList({"Info.db.damaged-*"}).size(), 1);
        QCOMPARE(k.told().size(), 1);
    }

    // A link planted at the user's database, to another database or dangling, is never
    // opened or written through: it is kept aside and the template's copy takes its place.
    void linkAtTheDatabaseIsNeverFollowed() {
        StoreKit k;
        k.parent("Tom");
        QTemporaryDir elsewhere;
        const QString other = elsewhere.filePath("other.db");
        sqlOn(other, schemaText() + ";Insert Into HistoryNews(Title,SNo) Values('theirs','1')");
        const QByteArray before = fileHash(other);
        const QString missing = elsewhere.filePath("missing.db");
        const QString db = k.userDb("Tom");
        for (const QString& target : {other, missing}) {
            QDir(QFileInfo(db).path()).removeRecursively();
            QVERIFY(QDir().mkpath(QFileInfo(db).path()));
            QVERIFY(QFile::link(target, db));
            QVERIFY(k.conn.Execute("Insert Into HistoryNews(Title,SNo) Values('mine','2')"));
            QCOMPARE(sqlOn(db, "select Title from HistoryNews"), QVariantList{"mine"});
            QCOMPARE(QFileInfo(db + ".link-20090305-140506").symLinkTarget(), target);
            QCOMPARE(fileHash(other), before);
            QVERIFY(!QFileInfo::exists(missing));
        }
    }

    void unwritableProgramFolderKeepsDataInXdgDataHome() {
        StoreKit k;
        k.parent("Tom");
        const QByteArray before = fileHash(k.templatePath());
        const QString db = k.home.path() + "/xdg-data/VantobelPlayTray/Users/Tom/Info.db";
        giveToNobody(k.home.path());
        QVERIFY(asNobody([&] {
            return QFile::setPermissions(k.home.path() + "/Users", QFile::ReadOwner | QFile::ExeOwner) &&
                   k.conn.Execute("Insert Into HistoryNews(SNo) Values('x')") && k.conn.databasePath() == db;
        }));
        QCOMPARE(sqlOn(db, "select SNo from HistoryNews"), QVariantList{"x"});
        QCOMPARE(fileHash(k.templatePath()), before);
    }

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

VT_TEST(TestStore)
#include "test_store.moc"
