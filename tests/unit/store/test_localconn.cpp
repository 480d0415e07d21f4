#include "AsNobody.h"
#include "StoreTestKit.h"
#include "TestMain.h"

#include <QTemporaryDir>
#include <QtTest>

class TestLocalConn : public QObject {
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
        QVERIFY(QFile::exists(k.userDb("..%2F..%2Fescape")));
        QVERIFY(!QFile::exists(k.home.path() + "/../escape"));
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
};

VT_TEST(TestLocalConn)
#include "test_localconn.moc"
