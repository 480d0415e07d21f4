// Files: text files and INI values, whole-file writes, the utility class's file and
// picture helpers, file properties and the version resource of executables.
#include "AsNobody.h"
#include "CsFileProperties.h"
#include "FileOperate.h"
#include "FullDisk.h"
#include "PeVersionReader.h"
#include "Seams.h"
#include "SysPublicCls.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
QString fixture(const char* name) {
    return QStringLiteral(VT_TEST_DATA_DIR "/pe/") + QLatin1String(name);
}
qsizetype blockAt(const QByteArray& image, const char16_t* key) {
    const QString k = QString::fromUtf16(key);
    return image.indexOf(QByteArray(reinterpret_cast<const char*>(k.utf16()), k.size() * 2)) - 6;
}
// Near the colour, as far as the JPEG's loss allows.
bool near(QRgb c, QColor want) {
    return qAbs(qRed(c) - want.red()) + qAbs(qGreen(c) - want.green()) + qAbs(qBlue(c) - want.blue()) < 120;
}
// Records what it is asked to show and answers as told.
struct RecordingFileManager : FileManager {
    bool show(const QString& absolutePath, View view) override {
        shown.append({absolutePath, view});
        return accept;
    }
    QList<QPair<QString, View>> shown;
    bool accept = true;
};
} // namespace

class TestFileOperate : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    QString copyFixture(const char* name, const QString& as) {
        QFile::remove(path(as));
        QFile::copy(fixture(name), path(as));
        QFile::setPermissions(path(as), QFile::ReadOwner | QFile::WriteOwner);
        return path(as);
    }
    void makeJpeg(int w, int h) {
        QImage photo(w, h, QImage::Format_RGB32);
        photo.fill(Qt::white);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG", 95));
    }

private Q_SLOTS:
    void initTestCase() {
        // Eight hours east of UTC, so a time left in local time would show.
        qputenv("TZ", "CST-8");
        tzset();
    }
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // Line ends and the byte-order mark of the line reader are the INI replay's.
    void readTextFileDecodesTheNamedCharset() {
        const QString chinese = u"<a>儿歌 中文</a>\r\n"_s;
        writeFile(path("u.xml"), chinese.toUtf8());
        writeFile(path("bom.xml"), "\xEF\xBB\xBF" + chinese.toUtf8());
        writeFile(path("g.txt"), "\xD6\xD0\xCE\xC4");
        QCOMPARE(FileOperate::ReadTextFile("utf-8", path("u.xml")), chinese);
        QCOMPARE(FileOperate::ReadTextFile("UTF-8", path("bom.xml")), chinese); // the mark is no text
        QCOMPARE(FileOperate::ReadTextFile("gbk", path("g.txt")), u"中文"_s);
        QCOMPARE(FileOperate::ReadTextFile("no-such-charset", path("u.xml")), QString());
        QCOMPARE(FileOperate::ReadTextFile("utf-8", path("missing")) + FileOperate::ReadTextLines(path("missing")),
                 QString());
        // The key matches inside a longer key too, and every "key=" goes, in any case.
        QCOMPARE(FileOperate::IniValue(u"InstPath=x\r\nPath=y\r\n"_s, "Path"), u"Instx"_s);
        QCOMPARE(FileOperate::IniValue(u"K=1;k=2\r\n"_s, "k"), u"1;2"_s);
    }

    // Sys.ini is written whole in the 8-bit code page ("?" for what it cannot hold), or
    // not at all: a failed write keeps the old file.
    void sysIniRoundTripAndFailedWrites() {
        const QString ini = path("Users/All Users/Sys.ini");
        QVERIFY(FileOperate::WriteTextFile(ini, u"TrayDefaultType=BabyPlayer\r\n"_s));
        QCOMPARE(FileOperate::IniValue(FileOperate::ReadTextLines(ini), "TrayDefaultType"), u"BabyPlayer"_s);
        QVERIFY(FileOperate::WriteTextFile(ini, u"名=中€😀"_s));
        QCOMPARE(readFile(ini), QByteArray("\xC3\xFB=\xD6\xD0\x80?"));

        QVERIFY(!FileOperate::WriteTextFile(ini + "/x.ini", u"x"_s)); // a folder that cannot be made
        QCOMPARE(readFile(ini), QByteArray("\xC3\xFB=\xD6\xD0\x80?"));
        // A folder its user may not write.
        giveToNobody(m_dir.path());
        QVERIFY(asNobody([&] {
            return QFile::setPermissions(QFileInfo(ini).path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner) &&
                   !FileOperate::WriteTextFile(ini, u"new"_s) && readFile(ini) == "\xC3\xFB=\xD6\xD0\x80?";
        }));
    }

    // Another account may plant a link where a whole file is written, to a file in home
    // or dangling: the write replaces the link and never touches, or creates, its target.
    void writesReplaceALinkNeverItsTarget() {
        for (const bool dangling : {false, true}) {
            init();
            QTemporaryDir home;
            const QString outside = home.filePath("private.txt");
            if (!dangling)
                QVERIFY(writeFile(outside, "private"));
            QVERIFY(writeFile(path("template.db"), "template"));
            QVERIFY(QFile::link(outside, path("Sys.ini")) && QFile::link(outside, path("Info.db")));

            QVERIFY(FileOperate::WriteTextFile(path("Sys.ini"), u"TrayDefaultType=BabyPlayer\r\n"_s));
            QCOMPARE(errorOf([&] { SysPublicCls::CopyFile(path("template.db"), path(""), "Info.db"); }), 0);

            QCOMPARE(readFile(outside), dangling ? QByteArray("<unreadable>") : QByteArray("private"));
            QVERIFY(!QFileInfo(path("Sys.ini")).isSymLink() && !QFileInfo(path("Info.db")).isSymLink());
            QCOMPARE(readFile(path("Sys.ini")) + readFile(path("Info.db")),
                     QByteArray("TrayDefaultType=BabyPlayer\r\ntemplate"));
            QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList({"Info.db", "Sys.ini", "template.db"}));
        }
    }

    // A full disk fails the write, says so, and leaves the old file and no temporary behind.
    void fullDiskKeepsTheOldFile() {
        FullDisk disk;
        QVERIFY2(disk.ok(), "cannot mount a small tmpfs (needs root)");
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

    // The folder, copy, move, delete and size helpers, one line per outcome.
    void fileHelpers() {
        writeFile(path("a.txt"), "x");
        writeFile(path("tree/a"), QByteArray(100, 'a'));
        writeFile(path("tree/sub/.hidden/c"), QByteArray(5, 'c'));
        QFile::link(path("tree"), path("tree/sub/loop"));
        writeFile(path("from/song.mp3"), "song");
        const auto move = [&](const char* to) {
            return SysPublicCls::SysMoveFiles(path("from/"), path(to), "song.mp3");
        };
        // A level blocked by a file is skipped silently; a missing template makes no folder.
        SysPublicCls::CopyFile(path("missing.db"), path("Users/u1/"), "Info.db");
        // Moved, already there, another file in the way (the first kept), no folder;
        // sizes count hidden files and do not follow links.
        QVariantList got;
        got << SysPublicCls::SysFile(path("a.txt")) << SysPublicCls::SysFile(m_dir.path())
            << QString(SysPublicCls::SysFilePath(path("a/b//c/")) + SysPublicCls::SysFilePath(path("a.txt/sub/")))
            << QFileInfo(path("a/b/c")).isDir() << QFileInfo::exists(path("Users")) << move("to/deep/")
            << move("to/deep/");
        writeFile(path("from/song.mp3"), "other");
        got << move("to/deep/") << readFile(path("to/deep/song.mp3")) << move("from/song.mp3/x/").isValid()
            << SysPublicCls::FileDel(path("from/song.mp3")) << SysPublicCls::FileDel(path("from/song.mp3"))
            << SysPublicCls::FileDel(m_dir.path()) << SysPublicCls::FolderSize(path("tree"));
        QCOMPARE(got, QVariantList({true, false, QString(path("a/b//c/") + path("a.txt/sub/")), true, false, 0, 1, 2,
                                    QByteArray("song"), false, true, false, false, 105}));

        for (const char* bytes : {"template", "newer"}) {
            writeFile(path("t.db"), bytes);
            SysPublicCls::CopyFile(path("t.db"), path("Users/u1/"), "Info.db");
        }
        QCOMPARE(readFile(path("Users/u1/Info.db")), QByteArray("newer"));
        // A read-only destination or picture is refused and kept, never forced.
        QFile::setPermissions(path("Users/u1/Info.db"), QFile::ReadOwner);
        QFile::setPermissions(path("to/deep/song.mp3"), QFile::ReadOwner | QFile::ReadGroup);
        const std::pair<std::function<void()>, int> failures[] = {
            {[&] { SysPublicCls::CopyFile(path("t.db"), path("Users/u1/"), "Info.db"); }, 70},
            {[&] { SysPublicCls::CopyFile(path("t.db"), path("t.db/"), "Info.db"); }, 76},
            {[&] { SysPublicCls::PicDel(path("to/deep/song.mp3")); }, VbError::PermissionDenied},
            {[&] { SysPublicCls::FolderSize(path("nope")); }, VbError::PathNotFound},
            {[&] { SysPublicCls::FileSize(path("tree")); }, VbError::FileNotFound}};
        for (const auto& [call, number] : failures)
            QCOMPARE(errorOf(call), number);
        QCOMPARE(readFile(path("Users/u1/Info.db")) + readFile(path("to/deep/song.mp3")), QByteArray("newersong"));

        // A picture by its name and its first bytes.
        const std::tuple<QString, QByteArray, bool> files[] = {{"x.GIF", "GIF89a...", true},
                                                               {"x.gif", "GIF87a...", false},
                                                               {"x.jpg", QByteArray("\x89PNG", 4), false},
                                                               {"x.png", QByteArray("\x89PNG", 4), true},
                                                               {"x.JPEG", QByteArray("\xFF\xD8\xFF\xE0", 4), true}};
        for (const auto& [name, bytes, picture] : files)
            QVERIFY2(writeFile(path(name), bytes) && SysPublicCls::CheckFileType(path(name)) == picture,
                     qPrintable(name));
    }

    void drawPngStampsAtThePlaceWithAlpha() {
        makeJpeg(100, 80);
        QImage stamp(20, 10, QImage::Format_ARGB32); // left half red, right half transparent
        stamp.fill(Qt::transparent);
        QPainter(&stamp).fillRect(0, 0, 10, 10, Qt::red);
        QVERIFY(stamp.save(path("stamp.png"), "PNG"));
        QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {100, 80}, path("stamp.png"), {20, 10}, QVariant(5)));
        QImage result(path("photo.jpg"));
        QVERIFY(near(result.pixel(79, 69), Qt::red)); // bottom right starts at (75, 65)
        for (const QPoint p : {QPoint(90, 69), QPoint(70, 69), QPoint(10, 10)})
            QVERIFY(near(result.pixel(p), Qt::white));
        // A failure, or a photo reached through a link (someone else's), leaves the photo and the link.
        makeJpeg(60, 60);
        const QByteArray before = readFile(path("photo.jpg"));
        QVERIFY(QFile::link(path("photo.jpg"), path("linked.jpg")));
        QVERIFY(!SysPublicCls::DrawPNG(path("photo.jpg"), {60, 60}, path("missing.png"), {1, 1}, "1") &&
                !SysPublicCls::DrawPNG(path("linked.jpg"), {60, 60}, path("stamp.png"), {20, 10}, "1"));
        QVERIFY(readFile(path("photo.jpg")) == before && QFileInfo(path("linked.jpg")).isSymLink());
    }

    void fileProperties() {
        CsFileProperties p;
        QVERIFY(!p.FindFileInfo(QString()) && !p.FindFileInfo(path("no-such.exe")));
        QCOMPARE(p.FileVersion(), QStringLiteral("N/A"));
        QVERIFY(p.FindFileInfo(copyFixture("version64.exe", "a.exe")) &&
                p.FindFileInfo(copyFixture("version32.exe", "B.EXE")));
        // b.exe has no internal name: a.exe's is kept.
        QCOMPARE(QStringList({p.FileVersion(), p.InternalName(), p.FileName()}),
                 QStringList({"3.0.0.12", "VantobelPlay", path("b.exe").toLower()}));
        // A broken version: every version text stays, the rest follows the file.
        QVERIFY(p.FindFileInfo(copyFixture("data-outside.exe", "d.exe")));
        QCOMPARE(p.FileVersion() + p.FileName(), "3.0.0.12" + path("d.exe").toLower());
    }

    // Nothing in the program asks for these texts yet: one worked example each.
    void uncalledPropertyTexts() {
        writeFile(path(".locked"), "x");
        QFile f(path(".locked"));
        QVERIFY(f.open(QIODevice::ReadWrite) &&
                f.setFileTime(QDateTime(QDate(2009, 12, 1), QTime(23, 7, 3), Qt::UTC), QFile::FileModificationTime) &&
                f.setFileTime(QDateTime(QDate(2009, 12, 2), QTime(1, 0), Qt::UTC), QFile::FileAccessTime));
        f.close();
        // Read-only means the owner may not write, whoever else may.
        QFile::setPermissions(path(".locked"), QFile::ReadOwner | QFile::ReadGroup | QFile::WriteGroup);
        CsFileProperties p;
        QVERIFY(p.FindFileInfo(path(".locked")));
        // Local time would be the 2nd; the access time is the date alone.
        QCOMPARE(QStringList({p.NormalFileType(), p.LastWriteTime(), p.LastAccessTime()}),
                 QStringList({"隐藏(√)只读(√)存档(×)", "1/12/2009 23:7:3", "2/12/2009"}));
        // Three significant digits, truncated, not rounded: 1,000 of a unit reads in the next.
        const QPair<quint64, QString> sizes[] = {
            {999, "999 bytes"}, {1023, "0.99 KB"}, {2047, "1.99 KB"}, {12939427, "12.3 MB"}, {~quint64(0), "15.9 EB"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(CsFileProperties::formatByteSize(bytes), text);

        // The file manager is asked with the absolute path; its refusal and a missing file show.
        RecordingFileManager manager;
        CsFileProperties shower(&manager);
        const QString song = path("song.mp3");
        writeFile(song, "x");
        QList<int> results{shower.ShowFilePath(0, song), shower.FindShowProperties(song)};
        manager.accept = false;
        results << shower.FindShowProperties(song) << shower.ShowFilePath(0, path("gone.mp3"))
                << CsFileProperties().ShowFilePath(0, song);
        QCOMPARE(results, QList<int>({0, CsFileProperties::kShowDone, CsFileProperties::kShowNoFileManager,
                                      CsFileProperties::kShowFileNotFound, CsFileProperties::kShowNoFileManager}));
        using View = FileManager::View;
        QCOMPARE(manager.shown, (QList<QPair<QString, View>>{
                                    {song, View::Folder}, {song, View::Properties}, {song, View::Properties}}));
    }

    void readsPe32Plus() {
        const auto info = PeVersion::readFile(fixture("version64.exe"));
        QVERIFY(info && info->hasFixed);
        QCOMPARE(PeVersion::versionText(info->fileVersion), QStringLiteral("2.1.0.57"));
        const QString key = info->translationKey();
        QCOMPARE(key, QStringLiteral("080404B0"));
        QCOMPARE(info->stringValue(key, QStringLiteral("CompanyName")), QStringLiteral("范霍洛儿童音乐有限公司"));
        QCOMPARE(info->stringValue(key, QStringLiteral("FileDescription")), QStringLiteral("abc")); // "abc\0def"
        // Found whatever the case, as the platform's query does.
        QCOMPARE(info->stringValue(QStringLiteral("080404b0"), QStringLiteral("originalfilename")),
                 QStringLiteral("VantobelPlay.exe"));
    }

    void readsPe32AndTheFirstTranslation() {
        const auto info = PeVersion::readFile(fixture("version32.exe"));
        QVERIFY(info);
        QCOMPARE(PeVersion::versionText(info->fileVersion), QStringLiteral("3.0.0.12"));
        // The table the first translation names, though another comes first in the file.
        const QString key = info->translationKey();
        QCOMPARE(key, QStringLiteral("040904E4"));
        QCOMPARE(info->stringValue(key, QStringLiteral("CompanyName")), QStringLiteral("Fernhollow"));
        // 600 characters (1,200 bytes) are kept whole: the cut lies at 1,024 characters.
        QCOMPARE(info->stringValue(key, QStringLiteral("LegalCopyright")), QStringLiteral("0123456789").repeated(60));

        const auto bare = PeVersion::readFile(fixture("notranslation.exe"));
        QVERIFY(bare && !bare->hasTranslation);
        QCOMPARE(PeVersion::versionText(bare->productVersion), QStringLiteral("5.6.7.8"));
        QCOMPARE(PeVersion::versionText({2, 1, 40000, 65535}), QStringLiteral("2.1.40000.65535")); // unsigned
    }

    void brokenOrForeignFilesGiveNone() {
        for (const char* name :
             {"noversion.exe", "truncated.exe", "truncated-headers.exe", "data-outside.exe", "size-outside.exe",
              "directory-loop.exe", "section-outside.exe", "version64.rc", "missing.exe", ""})
            QVERIFY2(!PeVersion::readFile(fixture(name)), name); // "" is the folder
    }

    void hostileVersionTreesEndWithoutHanging() {
        const QByteArray good = readFile(fixture("version64.exe"));
        const qsizetype root = blockAt(good, u"VS_VERSION_INFO");
        const qsizetype strings = blockAt(good, u"StringFileInfo");
        QVERIFY(root > 0 && strings > root);

        QByteArray zeroChild = good; // a child of length 0 would never move the walk on
        zeroChild[strings] = zeroChild[strings + 1] = 0;
        auto info = PeVersion::parse(zeroChild);
        QVERIFY(info && info->hasFixed && info->stringTables.isEmpty());

        QByteArray longRoot = good; // claims more than the resource holds
        longRoot[root] = longRoot[root + 1] = char(0xFF);
        info = PeVersion::parse(longRoot);
        QVERIFY(info);
        QCOMPARE(info->stringValue(QStringLiteral("080404B0"), QStringLiteral("InternalName")),
                 QStringLiteral("VantobelPlay"));

        QByteArray farHeader(0x40, 0); // e_lfanew near 4 GiB: offsets must not wrap
        farHeader[0] = 'M';
        farHeader[1] = 'Z';
        farHeader[0x3C] = farHeader[0x3F] = char(0xFF);
        QVERIFY(!PeVersion::parse(farHeader));
    }
};

VT_TEST(TestFileOperate)
#include "test_fileoperate.moc"
