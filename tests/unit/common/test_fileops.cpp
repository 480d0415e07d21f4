#include "SysPublicCls.h"
#include "TestFiles.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool isRed(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 70 && qBlue(c) < 70;
}
bool isWhite(QRgb c) {
    return qRed(c) > 220 && qGreen(c) > 220 && qBlue(c) > 220;
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

    void makeJpeg(int w, int h) {
        QImage photo(w, h, QImage::Format_RGB32);
        photo.fill(Qt::white);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG", 95));
    }

private Q_SLOTS:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void sysFileAndSysFilePath() {
        writeFile(path("a.txt"), "x");
        QVERIFY(SysPublicCls::SysFile(path("a.txt")));
        QVERIFY(!SysPublicCls::SysFile(m_dir.path()));
        QVERIFY(!SysPublicCls::SysFile(path("missing")));

        QCOMPARE(SysPublicCls::SysFilePath(path("a/b//c/")), path("a/b//c/"));
        QVERIFY(QFileInfo(path("a/b/c")).isDir());
        // A level blocked by a file is skipped silently.
        QCOMPARE(SysPublicCls::SysFilePath(path("a.txt/sub/")), path("a.txt/sub/"));
        QVERIFY(QFileInfo(path("a.txt")).isFile());
    }

    void copyFile() {
        SysPublicCls::CopyFile(path("missing.db"), path("Users/u1/"), "Info.db");
        QVERIFY(!QFileInfo::exists(path("Users")));

        writeFile(path("t.db"), "template");
        SysPublicCls::CopyFile(path("t.db"), path("Users/u1/"), "Info.db");
        writeFile(path("t.db"), "newer");
        SysPublicCls::CopyFile(path("t.db"), path("Users/u1/"), "Info.db");
        QCOMPARE(readFile(path("Users/u1/Info.db")), QByteArray("newer"));

        // A read-only destination is refused and kept; a folder that cannot exist fails.
        QFile::setPermissions(path("Users/u1/Info.db"), QFile::ReadOwner);
        QCOMPARE(errorOf([&] { SysPublicCls::CopyFile(path("t.db"), path("Users/u1/"), "Info.db"); }), 70);
        QCOMPARE(errorOf([&] { SysPublicCls::CopyFile(path("t.db"), path("t.db/"), "Info.db"); }), 76);
    }

    void moveOutcomes() {
        QDir().mkdir(path("from"));
        writeFile(path("from/song.mp3"), "song");
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(0));
        QCOMPARE(readFile(path("to/deep/song.mp3")), QByteArray("song"));
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(1));

        writeFile(path("from/song.mp3"), "other");
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(2));
        QCOMPARE(readFile(path("to/deep/song.mp3")), QByteArray("song"));
        // Any other failure (the destination folder cannot exist) is empty.
        QVERIFY(!SysPublicCls::SysMoveFiles(path("from/"), path("from/song.mp3/x/"), "song.mp3").isValid());
        QVERIFY(QFileInfo::exists(path("from/song.mp3")));

        QCOMPARE(SysPublicCls::SysMoveFiles2(path("from/song.mp3"), path("out/"), path("out/b.mp3")), QVariant(0));
        QCOMPARE(readFile(path("out/b.mp3")), QByteArray("other"));
        QCOMPARE(SysPublicCls::SysMoveFiles2(path("to/deep/song.mp3"), path("out/"), path("out/b.mp3")), QVariant(2));
    }

    void deleteUnderThreeNames() {
        for (auto del : {&SysPublicCls::PicDel, &SysPublicCls::FileDel, &SysPublicCls::SysDelFiles}) {
            writeFile(path("pic.jpg"), "x");
            QVERIFY(del(path("pic.jpg")));
            QVERIFY(!QFileInfo::exists(path("pic.jpg")));
            QVERIFY(!del(path("pic.jpg")));
            QVERIFY(!del(m_dir.path()));
        }
        // Read-only files are not forced.
        writeFile(path("keep.jpg"), "x");
        QFile::setPermissions(path("keep.jpg"), QFile::ReadOwner | QFile::ReadGroup);
        QCOMPARE(errorOf([&] { SysPublicCls::PicDel(path("keep.jpg")); }), int(VbError::PermissionDenied));
        QVERIFY(QFileInfo::exists(path("keep.jpg")));
    }

    void sizes() { // hidden files count, links are not followed
        QDir().mkpath(path("tree/sub/.hidden"));
        writeFile(path("tree/a"), QByteArray(100, 'a'));
        writeFile(path("tree/sub/b"), QByteArray(2000, 'b'));
        writeFile(path("tree/sub/.hidden/c"), QByteArray(5, 'c'));
        QFile::link(path("tree"), path("tree/sub/loop"));
        QCOMPARE(SysPublicCls::FolderSize(path("tree")), qint64(2105));
        QCOMPARE(SysPublicCls::FileSize(path("tree/sub/b")), qint64(2000));
        QCOMPARE(errorOf([&] { SysPublicCls::FolderSize(path("nope")); }), int(VbError::PathNotFound));
        QCOMPARE(errorOf([&] { SysPublicCls::FileSize(path("tree")); }), int(VbError::FileNotFound));
    }

    void fileTimes() {
        writeFile(path("t.txt"), "x");
        const QDateTime written(QDate(2009, 12, 1), QTime(9, 7, 3), Qt::UTC);
        QFile f(path("t.txt"));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(written, QFileDevice::FileModificationTime));
        f.close();
        const QVariantList times = SysPublicCls::GetFileTime(path("t.txt"));
        QCOMPARE(times.size(), 2);
        QCOMPARE(times[1].toDateTime(), written);
        QCOMPARE(times[1].toDateTime().timeSpec(), Qt::LocalTime);
        QCOMPARE(SysPublicCls::GetFileTime(path("missing")), (QVariantList{QVariant(), QVariant()}));
    }

    void checkFileType() {
        const struct {
            QString name;
            QByteArray bytes;
            bool picture;
        } files[] = {{"x.GIF", "GIF89a...", true},
                     {"x.gif", "GIF87a...", false},
                     {"x.jpg", QByteArray("\x89PNG", 4), false},
                     {"x.jpeg", "\xFF\xD8\xFF", true},
                     {"x.png", QByteArray("\x89PNG", 4), true},
                     {"x.bmp", "B", false},
                     {"x.txt", "BM", false}};
        for (const auto& f : files) {
            writeFile(path(f.name), f.bytes);
            QVERIFY2(SysPublicCls::CheckFileType(path(f.name)) == f.picture, qPrintable(f.name));
        }
        QVERIFY(!SysPublicCls::CheckFileType(path("missing.png")));
    }

    void drawPngStampsAtThePlaceWithAlpha() {
        makeJpeg(100, 80);
        QImage stamp(20, 10, QImage::Format_ARGB32); // left half red, right half transparent
        stamp.fill(Qt::transparent);
        QPainter(&stamp).fillRect(0, 0, 10, 10, Qt::red);
        QVERIFY(stamp.save(path("stamp.png"), "PNG"));
        QCOMPARE(SysPublicCls::PicSize(path("photo.jpg")), (QVariantList{100, 80}));
        QCOMPARE(SysPublicCls::PicSize(path("stamp.png.missing")), (QVariantList{QVariant(), QVariant()}));

        QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {100, 80}, path("stamp.png"), {20, 10}, QVariant(5)));
        QImage result(path("photo.jpg"));
        QVERIFY(isRed(result.pixel(79, 69))); // bottom right starts at (75, 65)
        QVERIFY(isWhite(result.pixel(90, 69)) && isWhite(result.pixel(70, 69)) && isWhite(result.pixel(10, 10)));
        QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {100, 80}, path("stamp.png"), {20, 10}, "3"));
        result.load(path("photo.jpg"));
        QVERIFY(isRed(result.pixel(44, 39)) && isWhite(result.pixel(38, 39))); // centre: (40, 35)

        // Outside "1".."5" nothing is drawn.
        makeJpeg(60, 60);
        for (const QVariant& place : {QVariant("6"), QVariant("01"), QVariant::fromValue(nullptr)}) {
            QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {60, 60}, path("stamp.png"), {20, 10}, place));
            result.load(path("photo.jpg"));
            for (int i = 0; i < 60; i += 3)
                QVERIFY(isWhite(result.pixel(i, i)) && isWhite(result.pixel(i, 7)));
        }
    }

    void drawPngFailuresKeepThePhoto() {
        makeJpeg(20, 20);
        const QByteArray before = readFile(path("photo.jpg"));
        QVERIFY(!SysPublicCls::DrawPNG(path("photo.jpg"), {20, 20}, path("missing.png"), {1, 1}, "1"));
        QCOMPARE(errorOf([&] {
                     SysPublicCls::DrawPNG(path("photo.jpg"), {20}, path("x.png"), {1, 1}, "1");
                 }),
                 int(VbError::SubscriptOutOfRange));
        QCOMPARE(readFile(path("photo.jpg")), before);
    }
};

QTEST_GUILESS_MAIN(TestFileOps)
#include "test_fileops.moc"
