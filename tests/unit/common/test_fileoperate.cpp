#include "AnsiCodePage.h"
#include "FileOperate.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString writeBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestFileOperate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readTextFileDecodesTheNamedCharset() {
        QTemporaryDir dir;
        const QString chinese = QStringLiteral("<a>儿歌 中文</a>\r\n");
        QCOMPARE(FileOperate::ReadTextFile("utf-8", writeBytes(dir, "u.xml", chinese.toUtf8())), chinese);
        // A byte-order mark is not part of the text.
        QCOMPARE(FileOperate::ReadTextFile("UTF-8", writeBytes(dir, "bom.xml", "\xEF\xBB\xBF" + chinese.toUtf8())),
                 chinese);
        QCOMPARE(FileOperate::ReadTextFile("gbk", writeBytes(dir, "g.txt", QByteArray("\xD6\xD0\xCE\xC4"))),
                 QStringLiteral("中文"));
        QCOMPARE(FileOperate::ReadTextFile("unicode", writeBytes(dir, "w.txt", QByteArray("\xFF\xFE\x2D\x4E", 4))),
                 QStringLiteral("中"));
        QCOMPARE(FileOperate::ReadTextFile("utf-8", dir.filePath("missing.xml")), QString());
        QCOMPARE(FileOperate::ReadTextFile("no-such-charset", dir.filePath("u.xml")), QString());
        QCOMPARE(FileOperate::ReadTextFile("utf-8", dir.path()), QString());
    }

    void readTextLinesEndsEveryLineWithCrLf() {
        QTemporaryDir dir;
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "a", "a=1\r\nb=2")), QStringLiteral("a=1\r\nb=2\r\n"));
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "b", "a\rb\nc\r\n")), QStringLiteral("a\r\nb\r\nc\r\n"));
        // Empty lines survive; a lone LF after CR LF is a line of its own.
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "c", "\r\n\n\rx")), QStringLiteral("\r\n\r\n\r\nx\r\n"));
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "d", "")), QString());
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "e", "\xC6\xA4\xB7\xF4=\xC0\xB6")),
                 QStringLiteral("皮肤=蓝\r\n"));
        QCOMPARE(FileOperate::ReadTextLines(dir.filePath("missing")), QString());
    }

    void iniValueTakesTheFirstLineHoldingTheKey() {
        const QString text = QStringLiteral("a=1\r\nb=2\r\n");
        QCOMPARE(FileOperate::IniValue(text, "B"), QStringLiteral("2"));
        // The key matches inside a longer key too, and only the key and its "=" are cut out.
        QCOMPARE(FileOperate::IniValue(QStringLiteral("InstPath=x\r\nPath=y\r\n"), "Path"), QStringLiteral("Instx"));
        QCOMPARE(FileOperate::IniValue(QStringLiteral("SkinFile=Blue.qss\r\n"), "SkinFile"),
                 QStringLiteral("Blue.qss"));
        // Nothing is trimmed; a space before the equals sign breaks the match.
        QCOMPARE(FileOperate::IniValue(QStringLiteral("k= v \r\n"), "k"), QStringLiteral(" v "));
        QCOMPARE(FileOperate::IniValue(QStringLiteral("k =v\r\n"), "k"), QString());
        // Every occurrence of the key and its equals sign goes, in any case.
        QCOMPARE(FileOperate::IniValue(QStringLiteral("K=1;k=2\r\n"), "k"), QStringLiteral("1;2"));
        // Lines are split at CR LF only.
        QCOMPARE(FileOperate::IniValue(QStringLiteral("a=1\nb=2"), "a"), QStringLiteral("1\nb=2"));
        QCOMPARE(FileOperate::IniValue(QString(), "a"), QString());
    }

    void sysIniRoundTrip() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Users/All Users/Sys.ini");
        QVERIFY(FileOperate::WriteTextFile(ini, QStringLiteral("TrayDefaultType=BabyPlayer\r\n")));
        QCOMPARE(readBytes(ini), QByteArray("TrayDefaultType=BabyPlayer\r\n"));
        QCOMPARE(FileOperate::IniValue(FileOperate::ReadTextLines(ini), "TrayDefaultType"),
                 QStringLiteral("BabyPlayer"));
        QVERIFY(FileOperate::WriteTextFile(ini, QStringLiteral("TrayDefaultType=\r\n")));
        QCOMPARE(FileOperate::IniValue(FileOperate::ReadTextLines(ini), "TrayDefaultType"), QString());
        // Written in the 8-bit code page; what it cannot hold becomes "?".
        QVERIFY(FileOperate::WriteTextFile(ini, QStringLiteral("名=中€😀")));
        QCOMPARE(readBytes(ini), QByteArray("\xC3\xFB=\xD6\xD0\x80?"));
    }

    void failedWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("keep.ini");
        QVERIFY(FileOperate::WriteTextFile(path, QStringLiteral("old")));
        // A path whose folder cannot be made, or that names a folder, is refused.
        QVERIFY(!FileOperate::WriteTextFile(path + "/x.ini", QStringLiteral("x")));
        QVERIFY(!FileOperate::WriteTextFile(dir.path(), QStringLiteral("x")));
        QCOMPARE(readBytes(path), QByteArray("old"));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool written = FileOperate::WriteTextFile(path, QStringLiteral("new"));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (written)
            QSKIP("running with rights that ignore folder permissions");
        QCOMPARE(readBytes(path), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestFileOperate)
#include "test_fileoperate.moc"
