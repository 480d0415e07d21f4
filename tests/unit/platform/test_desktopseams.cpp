#include "DesktopUrlOpener.h"
#include "InstPathStore.h"
#include "QtProcessLauncher.h"

#include "Fakes.h"

#include <QFile>
#include <QSettings>
#include <QTest>

class TestDesktopSeams : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void urlOpenerRefusesAllButWebAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("file") << "file:///etc/passwd";
        QTest::newRow("javascript") << "javascript:alert(1)";
        QTest::newRow("local path") << "/home/user/notice.html";
        QTest::newRow("windows path") << "C:\\Windows\\notepad.exe";
        QTest::newRow("relative") << "notice.html";
        QTest::newRow("empty") << "";
        QTest::newRow("ftp") << "ftp://example.com/a";
        QTest::newRow("data") << "data:text/html,<script>alert(1)</script>";
        QTest::newRow("http without host") << "http:///etc/passwd";
    }
    void urlOpenerRefusesAllButWebAddresses() {
        QFETCH(QString, address);
        DesktopUrlOpener opener;
        QVERIFY(!opener.openUrl(address));
    }

    void launcherStartsProgramsWithTheirArguments() {
        TempProgramHome home;
        const QString marker = home.path() + "/started.txt";
        const QString script = home.path() + "/fake player";
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$(dirname \"$0\")/started.txt\"\n");
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));

        QtProcessLauncher launcher;
        // The parameter string is one argument, spaces and separators included.
        QVERIFY(launcher.startDetached(script, {QStringLiteral("/U|||a b|||宝宝")}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && QFileInfo(marker).size() > 0, 10000);
        QFile out(marker);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(out.readAll()), QStringLiteral("1\n/U|||a b|||宝宝\n"));
    }

    void launcherReportsWhatCannotStart() {
        TempProgramHome home;
        QtProcessLauncher launcher;
        QVERIFY(!launcher.startDetached(home.path() + "/VantobelPlay", {}));
        QVERIFY(!launcher.startDetached(home.path(), {}));
        QVERIFY(!launcher.startDetached(QString(), {}));
        QFile plain(home.path() + "/Update");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("#!/bin/sh\n");
        plain.close();
        QVERIFY(plain.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(!launcher.startDetached(plain.fileName(), {}));
    }

    void instPathComesFromTheMakersStore() {
        TempProgramHome home; // XDG_CONFIG_HOME is temporary
        InstPathStore store;
        QVERIFY(store.instPath(QStringLiteral("SongBox")).isEmpty());
        {
            QSettings writer(QSettings::NativeFormat, QSettings::UserScope, "Fernhollow", "SongBox");
            writer.setValue("InstPath", "/opt/Song Box/songbox");
        }
        QCOMPARE(store.instPath(QStringLiteral("SongBox")), QStringLiteral("/opt/Song Box/songbox"));
        QVERIFY(store.instPath(QStringLiteral("Other")).isEmpty());
        QVERIFY(store.instPath(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDesktopSeams)
#include "test_desktopseams.moc"
