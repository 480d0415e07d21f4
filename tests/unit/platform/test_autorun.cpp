#include "AsNobody.h"
#include "Fakes.h"
#include "FullDisk.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "XdgAutoRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <tuple>

namespace {

QStringList entryLines(const XdgAutoRun& autoRun) {
    return autoRun.entryContents().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestAutoRun : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Inside quotes " ` $ \ take a backslash; the string value then doubles every backslash.
    // A percent is no field code, a line break no second key. TryExec names the same
    // program unquoted, so that the session skips the entry once the program is gone.
    void execQuotesThePath() {
        TempProgramHome home;
        const std::tuple<QString, QString, QString> cases[] = {
            {"/opt/Vantobel Play/VantobelPlayTray", "Exec=\"/opt/Vantobel Play/VantobelPlayTray\" /TRAY",
             "TryExec=/opt/Vantobel Play/VantobelPlayTray"},
            {"/x/a\"b$c", "Exec=\"/x/a\\\\\"b\\\\$c\" /TRAY", "TryExec=/x/a\"b$c"},
            {"/x/a\\b`c", "Exec=\"/x/a\\\\\\\\b\\\\`c\" /TRAY", "TryExec=/x/a\\\\b`c"},
            {"/x/100%/t", "Exec=\"/x/100%%/t\" /TRAY", "TryExec=/x/100%/t"},
            {"/x/a\nExec=evil", "Exec=\"/x/a\\nExec=evil\" /TRAY", "TryExec=/x/a\\nExec=evil"},
        };
        for (const auto& [program, exec, tryExec] : cases) {
            const QStringList lines = entryLines(XdgAutoRun(program));
            QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
            QCOMPARE(lines.filter(QRegularExpression("^Exec=")), QStringList{exec});
            QCOMPARE(lines.filter(QRegularExpression("^TryExec=")), QStringList{tryExec});
        }
    }

    void setAndRemove() {
        TempProgramHome home;
        XdgAutoRun autoRun(QStringLiteral("/opt/t/VantobelPlayTray"));
        QCOMPARE(autoRun.entryPath(), home.path() + "/xdg-config/autostart/VantobelPlay.desktop");
        QVERIFY(!autoRun.IsAutoRunSet());
        QVERIFY(autoRun.RemoveAutoRun()); // nothing there is already removed
        QVERIFY(autoRun.SetAutoRun());    // makes the missing folder
        QVERIFY(autoRun.IsAutoRunSet());
        QCOMPARE(readFile(autoRun.entryPath()), autoRun.entryContents().toUtf8());
        // The entry looks like the installed menu entry and is a valid desktop entry.
        QFile menuEntry(VT_SOURCE_DIR "/packaging/vantobel-play-tray.desktop");
        QVERIFY(menuEntry.open(QIODevice::ReadOnly));
        // Its main group only: the actions have names of their own.
        const QStringList menuLines =
            QString::fromUtf8(menuEntry.readAll()).section(QStringLiteral("\n["), 0, 0).split('\n');
        for (const char* key : {"^Icon=", "^Name\\[zh_CN\\]=", "^Comment="})
            QCOMPARE(entryLines(autoRun).filter(QRegularExpression(key)), menuLines.filter(QRegularExpression(key)));
        QVERIFY2(!QStandardPaths::findExecutable("desktop-file-validate").isEmpty(),
                 "desktop-file-validate is missing (scripts/install-deps.sh installs it)");
        QProcess validate;
        validate.start("desktop-file-validate", {autoRun.entryPath()});
        QVERIFY(validate.waitForFinished(20000));
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
        QVERIFY(autoRun.RemoveAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());

        // A link at the entry is replaced by the entry; its target, dangling or not, stays as it was.
        const QString outside = home.path() + "/notes.txt";
        for (const bool dangling : {true, false}) {
            if (!dangling)
                QVERIFY(QFile(outside).open(QIODevice::WriteOnly));
            QFile::remove(autoRun.entryPath());
            QVERIFY(QFile::link(outside, autoRun.entryPath()));
            QVERIFY(autoRun.SetAutoRun());
            QVERIFY(!QFileInfo(autoRun.entryPath()).isSymLink());
            QCOMPARE(readFile(autoRun.entryPath()), autoRun.entryContents().toUtf8());
            QCOMPARE(QFileInfo::exists(outside), !dangling);
            QCOMPARE(QFileInfo(outside).size(), 0);
        }
    }

    // On a full disk the entry is not replaced by an empty one, and the failure is reported.
    void fullDiskKeepsTheOldEntry() {
        TempProgramHome home;
        FullDisk disk;
        if (!disk.ok())
            QSKIP("cannot mount a small tmpfs here (needs root)");
        qputenv("XDG_CONFIG_HOME", disk.path().toUtf8());
        XdgAutoRun before(QStringLiteral("/opt/t/VantobelPlayTray"));
        QVERIFY(before.SetAutoRun());
        QVERIFY(disk.fill());
        XdgAutoRun moved(QStringLiteral("/opt/moved/VantobelPlayTray"));
        QVERIFY(!moved.SetAutoRun());
        QCOMPARE(readFile(before.entryPath()), before.entryContents().toUtf8());
    }

    void failuresAreReported() {
        TempProgramHome home;
        QFile blocker(home.path() + "/blocker"); // a plain file where a folder must go
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_CONFIG_HOME", (home.path() + "/blocker/config").toUtf8());
        XdgAutoRun autoRun(QStringLiteral("/opt/t/VantobelPlayTray"));
        QVERIFY(!autoRun.SetAutoRun());
        QVERIFY(!autoRun.IsAutoRunSet());

        const QString folder = home.path() + "/xdg-config/autostart";
        qputenv("XDG_CONFIG_HOME", (home.path() + "/xdg-config").toUtf8());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(autoRun.SetAutoRun());
        // Still there when its folder may not be written, and said so.
        giveToNobody(home.path());
        QVERIFY(asNobody([&] {
            return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner) && !autoRun.RemoveAutoRun() &&
                   autoRun.IsAutoRunSet();
        }));
    }
};

VT_TEST(TestAutoRun)
#include "test_autorun.moc"
