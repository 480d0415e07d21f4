#include "AnsiCodePage.h"
#include "AsNobody.h"
#include "FileOperate.h"
#include "FullDisk.h"
#include "SysPublicCls.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QString writeBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    return writeFile(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
}
} // namespace

class TestFileOperate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readTextFileDecodesTheNamedCharset() {
        QTemporaryDir dir;
        const QString chinese = u"<a>儿歌 中文</a>\r\n"_s;
        QCOMPARE(FileOperate::ReadTextFile("utf-8", writeBytes(dir, "u.xml", chinese.toUtf8())), chinese);
        // A byte-order mark is not part of the text.
        QCOMPARE(FileOperate::ReadTextFile("UTF-8", writeBytes(dir, "bom.xml", "\xEF\xBB\xBF" + chinese.toUtf8())),
                 chinese);
        QCOMPARE(FileOperate::ReadTextFile("gbk", writeBytes(dir, "g.txt", QByteArray("\xD6\xD0\xCE\xC4"))), u"中文"_s);
        QCOMPARE(FileOperate::ReadTextFile("utf-8", dir.filePath("missing.xml")), QString());
        QCOMPARE(FileOperate::ReadTextFile("no-such-charset", dir.filePath("u.xml")), QString());
    }

    void readTextLinesEndsEveryLineWithCrLf() {
        QTemporaryDir dir;
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "a", "a=1\r\nb=2")), u"a=1\r\nb=2\r\n"_s);
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "b", "a\rb\nc\r\n")), u"a\r\nb\r\nc\r\n"_s);
        // Empty lines survive; a lone LF after CR LF is a line of its own.
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "c", "\r\n\n\rx")), u"\r\n\r\n\r\nx\r\n"_s);
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "e", "\xC6\xA4\xB7\xF4=\xC0\xB6")), u"皮肤=蓝\r\n"_s);
        QCOMPARE(FileOperate::ReadTextLines(writeBytes(dir, "u", "\xEF\xBB\xBF" + u"皮肤=蓝"_s.toUtf8())),
                 u"皮肤=蓝\r\n"_s);
        QCOMPARE(FileOperate::ReadTextLines(dir.filePath("missing")), QString());
    }

    void iniValueTakesTheFirstLineHoldingTheKey() {
        const QString text = u"a=1\r\nb=2\r\n"_s;
        QCOMPARE(FileOperate::IniValue(text, "B"), u"2"_s);
        // The key matches inside a longer key too, and only the key and its "=" are cut out.
        QCOMPARE(FileOperate::IniValue(u"InstPath=x\r\nPath=y\r\n"_s, "Path"), u"Instx"_s);
        QCOMPARE(FileOperate::IniValue(u"k= v \r\n"_s, "k"), u" v "_s); // nothing is trimmed
        // Every occurrence of the key and its equals sign goes, in any case.
        QCOMPARE(FileOperate::IniValue(u"K=1;k=2\r\n"_s, "k"), u"1;2"_s);
        // Lines are split at CR LF only.
        QCOMPARE(FileOperate::IniValue(u"a=1\nb=2"_s, "a"), u"1\nb=2"_s);
    }

    void sysIniRoundTrip() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Users/All Users/Sys.ini");
        QVERIFY(FileOperate::WriteTextFile(ini, u"TrayDefaultType=BabyPlayer\r\n"_s));
        QCOMPARE(readFile(ini), QByteArray("TrayDefaultType=BabyPlayer\r\n"));
        QCOMPARE(FileOperate::IniValue(FileOperate::ReadTextLines(ini), "TrayDefaultType"), u"BabyPlayer"_s);
        // Written in the 8-bit code page; what it cannot hold becomes "?".
        QVERIFY(FileOperate::WriteTextFile(ini, u"名=中€😀"_s));
        QCOMPARE(readFile(ini), QByteArray("\xC3\xFB=\xD6\xD0\x80?"));
    }

    void failedWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("keep.ini");
        QVERIFY(FileOperate::WriteTextFile(path, u"old"_s));
        // A path whose folder cannot be made is refused.
        QVERIFY(!FileOperate::WriteTextFile(path + "/x.ini", u"x"_s));
        QCOMPARE(readFile(path), QByteArray("old"));
        // A folder its user may not write.
        giveToNobody(dir.path());
        QVERIFY(asNobody([&] {
            return QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner) &&
                   !FileOperate::WriteTextFile(path, u"new"_s) && readFile(path) == "old";
        }));
    }

    // A full disk fails the write, says so, and leaves the old file and no temporary behind.
    void fullDiskKeepsTheOldFile() {
        FullDisk disk;
        if (!disk.ok())
            QSKIP("cannot mount a small tmpfs here (needs root)");
        const QString ini = disk.path() + "/Sys.ini";
        const QString db = disk.path() + "/Info.db";
        QVERIFY(FileOperate::WriteTextFile(ini, u"TrayDefaultType=BabyPlayer\r\n"_s));
        QVERIFY(writeFile(db, "old database"));
        QTemporaryDir source;
        const QString templ = source.filePath("Info.db");
        QVERIFY(writeFile(templ, QByteArray(20000, 't')));
        QVERIFY(disk.fill());

        QVERIFY(!FileOperate::WriteTextFile(ini, u"TrayDefaultType=ParentPlayer\r\n"_s));
        QCOMPARE(readFile(ini), QByteArray("TrayDefaultType=BabyPlayer\r\n"));
        // A writer on the device that does not look at each write's result (pictures).
        FileOperate::WholeFileWriter writer(ini);
        QVERIFY(writer.open());
        writer.device()->write(QByteArray(100, 'x'));
        QVERIFY(!writer.commit());
        QCOMPARE(readFile(ini), QByteArray("TrayDefaultType=BabyPlayer\r\n"));
        QVERIFY(errorOf([&] { SysPublicCls::CopyFile(templ, disk.path() + "/", "Info.db"); }) != 0);
        QCOMPARE(readFile(db), QByteArray("old database"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({".filler", "Info.db", "Sys.ini"}));
    }
};

QTEST_GUILESS_MAIN(TestFileOperate)
#include "test_fileoperate.moc"
