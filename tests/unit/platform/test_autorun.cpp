#include "AutoRun.h"
#include "Fakes.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <unistd.h>

namespace {

QString execLine(const QString& contents) {
    for (const QString& line : contents.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestAutoRun : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entryIsAProperDesktopEntry() {
        TempProgramHome home;
        XdgAutoRun autoRun(QStringLiteral("/opt/vantobel/VantobelPlayTray"));
        QCOMPARE(autoRun.entryPath(), home.path() + "/xdg-config/autostart/VantobelPlay.desktop");
        const QStringList lines = autoRun.entryContents().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        QVERIFY(lines.contains(QStringLiteral("Type=Application")));
        QVERIFY(lines.contains(QStringLiteral("Name=VantobelPlayTray")));
        QVERIFY(lines.contains(QStringLiteral("X-GNOME-Autostart-enabled=true")));
        QCOMPARE(execLine(autoRun.entryContents()), QStringLiteral("\"/opt/vantobel/VantobelPlayTray\" /TRAY"));
    }

    void execQuotesAwkwardPaths_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("spaces") << "/opt/Vantobel Play/VantobelPlayTray"
                                << "\"/opt/Vantobel Play/VantobelPlayTray\" /TRAY";
        QTest::newRow("chinese") << "/home/宝宝/播放器/VantobelPlayTray"
                                 << "\"/home/宝宝/播放器/VantobelPlayTray\" /TRAY";
        // Inside quotes " ` $ \ take a backslash; the string value then doubles every backslash.
        QTest::newRow("quote and dollar") << "/x/a\"b$c"
                                          << "\"/x/a\\\\\"b\\\\$c\" /TRAY";
        QTest::newRow("backslash and backtick") << "/x/a\\b`c"
                                                << "\"/x/a\\\\\\\\b\\\\`c\" /TRAY";
        // A percent sign would otherwise start a field code.
        QTest::newRow("percent") << "/x/100%/t"
                                 << "\"/x/100%%/t\" /TRAY";
        // A line break must not end the key and start a new one.
        QTest::newRow("newline") << "/x/a\nExec=evil"
                                 << "\"/x/a\\nExec=evil\" /TRAY";
    }
    void execQuotesAwkwardPaths() {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        TempProgramHome home;
        XdgAutoRun autoRun(program);
        QCOMPARE(execLine(autoRun.entryContents()), exec);
        const QStringList lines = autoRun.entryContents().split(QLatin1Char('\n'));
        QCOMPARE(std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("Exec="); }), 1);
    }

    void setAndRemove() {
        TempProgramHome home;
        XdgAutoRun autoRun(QStringLiteral("/opt/Vantobel Play/VantobelPlayTray"));
        QVERIFY(!autoRun.IsAutoRunSet());
        QVERIFY(autoRun.RemoveAutoRun()); // nothing there is already "removed"

        QVERIFY(autoRun.SetAutoRun()); // makes the missing autostart folder
        QVERIFY(autoRun.IsAutoRunSet());
        QCOMPARE(readAll(autoRun.entryPath()), autoRun.entryContents().toUtf8());
        QVERIFY(autoRun.SetAutoRun()); // idempotent
        QVERIFY(autoRun.IsAutoRunSet());

        QVERIFY(autoRun.RemoveAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());
        QVERIFY(!QFile::exists(autoRun.entryPath()));
    }

    void anyEntryOfThatNameCountsAsSet() {
        TempProgramHome home;
        XdgAutoRun autoRun(QStringLiteral("/opt/t/VantobelPlayTray"));
        QVERIFY(QDir().mkpath(home.path() + "/xdg-config/autostart"));
        QFile other(autoRun.entryPath());
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("not a desktop entry at all");
        other.close();
        QVERIFY(autoRun.IsAutoRunSet());
        QVERIFY(autoRun.RemoveAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());
    }

    void failuresAreReported() {
        TempProgramHome home;
        // A config folder that cannot exist: its parent is a plain file.
        QFile blocker(home.path() + "/blocker");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_CONFIG_HOME", (home.path() + "/blocker/config").toUtf8());
        XdgAutoRun autoRun(QStringLiteral("/opt/t/VantobelPlayTray"));
        QVERIFY(!autoRun.SetAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());

        XdgAutoRun nameless{QString()};
        qputenv("XDG_CONFIG_HOME", (home.path() + "/xdg-config").toUtf8());
        QVERIFY(!nameless.SetAutoRun());
        QVERIFY(!nameless.IsAutoRunSet());

        if (::geteuid() == 0)
            QSKIP("permissions do not bind root");
        const QString folder = home.path() + "/xdg-config/autostart";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!autoRun.SetAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(autoRun.SetAutoRun());
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!autoRun.RemoveAutoRun()); // still there, and said so
        QVERIFY(autoRun.IsAutoRunSet());
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void relativeConfigHomeIsIgnored() {
        TempProgramHome home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", "relative/config");
        XdgAutoRun autoRun(QStringLiteral("/opt/t/VantobelPlayTray"));
        const QString path = autoRun.entryPath();
        qputenv("HOME", oldHome);
        QCOMPARE(path, home.path() + "/.config/autostart/VantobelPlay.desktop");
    }
};

QTEST_GUILESS_MAIN(TestAutoRun)
#include "test_autorun.moc"
