#include "SysPublicCls.h"
#include "VbError.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const VbError& e) {
        return e.number();
    }
    return 0;
}

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

private Q_SLOTS:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void sysFileTellsFilesFromFolders() {
        writeFile(path("a.txt"), "x");
        QDir().mkdir(path("folder"));
        QVERIFY(SysPublicCls::SysFile(path("a.txt")));
        QVERIFY(!SysPublicCls::SysFile(path("folder")));
        QVERIFY(!SysPublicCls::SysFile(path("missing.txt")));
    }

    void sysFilePathCreatesEveryMissingLevel() {
        QDir().mkdir(path("a"));
        const QString target = path("a/b/c/");
        QCOMPARE(SysPublicCls::SysFilePath(target), target);
        QVERIFY(QFileInfo(path("a/b/c")).isDir());

        // Doubled slashes and a trailing file name: the empty piece is skipped, the
        // name becomes a folder.
        QCOMPARE(SysPublicCls::SysFilePath(path("x//y/name.db")), path("x//y/name.db"));
        QVERIFY(QFileInfo(path("x/y/name.db")).isDir());

        // A level blocked by a file is ignored; the levels after it fail too, silently.
        writeFile(path("blocker"), "x");
        QCOMPARE(SysPublicCls::SysFilePath(path("blocker/sub/")), path("blocker/sub/"));
        QVERIFY(QFileInfo(path("blocker")).isFile());
    }

    void copyFileCreatesFoldersAndReplacesWhole() {
        writeFile(path("source.db"), "template");
        SysPublicCls::CopyFile(path("source.db"), path("Users/u1/"), "Info.db");
        QCOMPARE(readFile(path("Users/u1/Info.db")), QByteArray("template"));

        writeFile(path("source.db"), "newer template");
        SysPublicCls::CopyFile(path("source.db"), path("Users/u1/"), "Info.db");
        QCOMPARE(readFile(path("Users/u1/Info.db")), QByteArray("newer template"));
        QCOMPARE(readFile(path("source.db")), QByteArray("newer template"));
    }

    void copyFileOfMissingSourceDoesNothing() {
        SysPublicCls::CopyFile(path("missing.db"), path("Users/u2/"), "Info.db");
        QVERIFY(!QFileInfo::exists(path("Users")));
    }

    void copyFileFailuresReachTheCallerAndKeepTheOldFile() {
        writeFile(path("source.db"), "template");
        QDir().mkdir(path("dest"));
        writeFile(path("dest/Info.db"), "user data");
        QFile::setPermissions(path("dest/Info.db"), QFile::ReadOwner);
        QCOMPARE(errorOf([&] { SysPublicCls::CopyFile(path("source.db"), path("dest/"), "Info.db"); }),
                 int(VbError::PermissionDenied));
        QCOMPARE(readFile(path("dest/Info.db")), QByteArray("user data"));

        // The destination folder cannot be made: a file stands in its place.
        writeFile(path("notafolder"), "x");
        QCOMPARE(errorOf([&] { SysPublicCls::CopyFile(path("source.db"), path("notafolder/"), "Info.db"); }),
                 int(VbError::PathNotFound));
    }

    void moveOutcomes() {
        QDir().mkdir(path("from"));
        writeFile(path("from/song.mp3"), "song");

        // Moved, destination folder made on the way.
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(0));
        QCOMPARE(readFile(path("to/deep/song.mp3")), QByteArray("song"));
        QVERIFY(!QFileInfo::exists(path("from/song.mp3")));

        // Source gone: 1.
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(1));

        // Destination present: 2, neither file touched.
        writeFile(path("from/song.mp3"), "other");
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(2));
        QCOMPARE(readFile(path("from/song.mp3")), QByteArray("other"));
        QCOMPARE(readFile(path("to/deep/song.mp3")), QByteArray("song"));

        // Any other failure (the destination folder cannot exist): empty.
        writeFile(path("file"), "x");
        const QVariant other = SysPublicCls::SysMoveFiles(path("from/"), path("file/sub/"), "song.mp3");
        QVERIFY(!other.isValid());
        QVERIFY(QFileInfo::exists(path("from/song.mp3")));
    }

    void move2RenamesToAnyName() {
        writeFile(path("a.txt"), "a");
        QCOMPARE(SysPublicCls::SysMoveFiles2(path("a.txt"), path("out/"), path("out/b.txt")), QVariant(0));
        QCOMPARE(readFile(path("out/b.txt")), QByteArray("a"));
        QCOMPARE(SysPublicCls::SysMoveFiles2(path("a.txt"), path("out/"), path("out/b.txt")), QVariant(1));
        writeFile(path("c.txt"), "c");
        QCOMPARE(SysPublicCls::SysMoveFiles2(path("c.txt"), path("out/"), path("out/b.txt")), QVariant(2));
        // A folder is not a file to move.
        QDir().mkdir(path("dir"));
        QCOMPARE(SysPublicCls::SysMoveFiles2(path("dir"), path("out/"), path("out/dir")), QVariant(1));
    }

    void deleteUnderThreeNames() {
        using Del = bool (*)(const QString&);
        for (Del del : {&SysPublicCls::PicDel, &SysPublicCls::FileDel, &SysPublicCls::SysDelFiles}) {
            writeFile(path("pic.jpg"), "x");
            QVERIFY(del(path("pic.jpg")));
            QVERIFY(!QFileInfo::exists(path("pic.jpg")));
            QVERIFY(!del(path("pic.jpg")));
        }
        QDir().mkdir(path("folder"));
        QVERIFY(!SysPublicCls::FileDel(path("folder")));
        QVERIFY(QFileInfo(path("folder")).isDir());
    }

    void readOnlyFileIsNotDeleted() {
        writeFile(path("keep.jpg"), "x");
        QFile::setPermissions(path("keep.jpg"), QFile::ReadOwner | QFile::ReadGroup);
        QCOMPARE(errorOf([&] { SysPublicCls::PicDel(path("keep.jpg")); }), int(VbError::PermissionDenied));
        QVERIFY(QFileInfo::exists(path("keep.jpg")));
    }

    void sizes() {
        QDir().mkpath(path("tree/sub/.hidden"));
        writeFile(path("tree/a"), QByteArray(100, 'a'));
        writeFile(path("tree/sub/b"), QByteArray(2000, 'b'));
        writeFile(path("tree/sub/.hidden/c"), QByteArray(5, 'c'));
        // A link back to the top is not followed, so nothing counts twice.
        QFile::link(path("tree"), path("tree/sub/loop"));
        QCOMPARE(SysPublicCls::FolderSize(path("tree")), qint64(2105));
        QCOMPARE(SysPublicCls::FolderSize(path("tree/sub/.hidden")), qint64(5));
        QCOMPARE(SysPublicCls::FileSize(path("tree/sub/b")), qint64(2000));

        QCOMPARE(errorOf([&] { SysPublicCls::FolderSize(path("nope")); }), int(VbError::PathNotFound));
        QCOMPARE(errorOf([&] { SysPublicCls::FileSize(path("nope.txt")); }), int(VbError::FileNotFound));
        QCOMPARE(errorOf([&] { SysPublicCls::FileSize(path("tree")); }), int(VbError::FileNotFound));
    }

    void fileTimesAreLocalAndEmptyWhenUnavailable() {
        writeFile(path("t.txt"), "x");
        const QDateTime written(QDate(2009, 12, 1), QTime(9, 7, 3), Qt::UTC);
        QFile f(path("t.txt"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(written, QFileDevice::FileModificationTime));
        f.close();

        const QVariantList times = SysPublicCls::GetFileTime(path("t.txt"));
        QCOMPARE(times.size(), 2);
        QCOMPARE(times[1].toDateTime(), written);
        QCOMPARE(times[1].toDateTime().timeSpec(), Qt::LocalTime);
        // Birth time only where the file system records it; then it is recent.
        if (times[0].isValid())
            QVERIFY(times[0].toDateTime().secsTo(QDateTime::currentDateTime()) < 3600);

        const QVariantList none = SysPublicCls::GetFileTime(path("missing"));
        QCOMPARE(none.size(), 2);
        QVERIFY(!none[0].isValid() && !none[1].isValid());
    }

    void checkFileType_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("expected");
        QTest::newRow("gif upper-case") << "x.GIF" << QByteArray("GIF89a...") << true;
        QTest::newRow("gif87 is not gif89") << "x.gif" << QByteArray("GIF87a...") << false;
        QTest::newRow("png named jpg") << "x.jpg" << QByteArray("\x89PNG\r\n", 6) << false;
        QTest::newRow("jpeg") << "x.jpeg" << QByteArray("\xFF\xD8\xFF\xE0", 4) << true;
        QTest::newRow("jpg") << "x.jpg" << QByteArray("\xFF\xD8", 2) << true;
        QTest::newRow("png") << "x.png" << QByteArray("\x89PNG", 4) << true;
        QTest::newRow("bmp") << "x.bmp" << QByteArray("BM..") << true;
        QTest::newRow("one-byte bmp") << "x.bmp" << QByteArray("B") << false;
        QTest::newRow("empty jpg") << "x.jpg" << QByteArray() << false;
        QTest::newRow("txt") << "x.txt" << QByteArray("BM") << false;
        QTest::newRow("no extension") << "bmp" << QByteArray("BM") << false;
    }
    void checkFileType() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, expected);
        writeFile(path(name), bytes);
        QCOMPARE(SysPublicCls::CheckFileType(path(name)), expected);
    }

    void checkFileTypeOfMissingFileIsFalse() { QVERIFY(!SysPublicCls::CheckFileType(path("missing.png"))); }

    void picSize() {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(path("p.jpg"), "JPEG"));
        QCOMPARE(SysPublicCls::PicSize(path("p.jpg")), (QVariantList{40, 30}));

        writeFile(path("not.jpg"), "text");
        for (const QString& p : {path("not.jpg"), path("missing.jpg")}) {
            const QVariantList size = SysPublicCls::PicSize(p);
            QCOMPARE(size.size(), 2);
            QVERIFY(!size[0].isValid() && !size[1].isValid());
        }
    }

    void drawPngStampsAtThePlaceWithAlpha() {
        QImage photo(100, 80, QImage::Format_RGB32);
        photo.fill(Qt::white);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG", 95));
        // Left half red, right half fully transparent.
        QImage stamp(20, 10, QImage::Format_ARGB32);
        stamp.fill(Qt::transparent);
        QPainter(&stamp).fillRect(0, 0, 10, 10, Qt::red);
        QVERIFY(stamp.save(path("stamp.png"), "PNG"));

        QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {100, 80}, path("stamp.png"), {20, 10}, QVariant(5)));
        QImage result(path("photo.jpg"));
        QCOMPARE(result.size(), QSize(100, 80));
        // Bottom right: x from 75, y from 65.
        QVERIFY(isRed(result.pixel(79, 69)));
        QVERIFY(isWhite(result.pixel(90, 69))); // under the transparent half
        QVERIFY(isWhite(result.pixel(70, 69)));
        QVERIFY(isWhite(result.pixel(10, 10)));

        QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {100, 80}, path("stamp.png"), {20, 10}, "3"));
        result.load(path("photo.jpg"));
        QVERIFY(isRed(result.pixel(44, 39))); // centre: (40, 35)
        QVERIFY(isWhite(result.pixel(38, 39)));
    }

    void drawPngOutsideOneToFiveDrawsNothing() {
        QImage photo(60, 60, QImage::Format_RGB32);
        photo.fill(Qt::white);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG", 95));
        QImage stamp(10, 10, QImage::Format_ARGB32);
        stamp.fill(Qt::red);
        QVERIFY(stamp.save(path("stamp.png"), "PNG"));
        for (const QVariant& place : {QVariant("6"), QVariant("01"), QVariant(), QVariant::fromValue(nullptr)}) {
            QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {60, 60}, path("stamp.png"), {10, 10}, place));
            const QImage result(path("photo.jpg"));
            for (int y = 0; y < 60; y += 3)
                for (int x = 0; x < 60; x += 3)
                    QVERIFY(isWhite(result.pixel(x, y)));
        }
    }

    void drawPngFailuresLeaveThePhoto() {
        QVERIFY(!SysPublicCls::DrawPNG(path("missing.jpg"), {1, 1}, path("stamp.png"), {1, 1}, "1"));
        QVERIFY(!QFileInfo::exists(path("missing.jpg")));

        QImage photo(20, 20, QImage::Format_RGB32);
        photo.fill(Qt::white);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG"));
        const QByteArray before = readFile(path("photo.jpg"));
        QVERIFY(!SysPublicCls::DrawPNG(path("photo.jpg"), {20, 20}, path("missing.png"), {1, 1}, "1"));
        QCOMPARE(readFile(path("photo.jpg")), before);
        // Sizes the caller must supply.
        QCOMPARE(errorOf([&] {
                     SysPublicCls::DrawPNG(path("photo.jpg"), {20}, path("x.png"), {1, 1}, "1");
                 }),
                 int(VbError::SubscriptOutOfRange));
        QCOMPARE(readFile(path("photo.jpg")), before);
    }
};

QTEST_GUILESS_MAIN(TestFileOps)
#include "test_fileops.moc"
