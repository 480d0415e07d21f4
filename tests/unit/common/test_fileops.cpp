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

        // A level blocked by a file is skipped silently.
        QCOMPARE(SysPublicCls::SysFilePath(path("a/b//c/")), path("a/b//c/"));
        QVERIFY(QFileInfo(path("a/b/c")).isDir());
        QCOMPARE(SysPublicCls::SysFilePath(path("a.txt/sub/")), path("a.txt/sub/"));
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

    // Nothing in the program calls these yet: one line per outcome.
    void moveAndDeleteOutcomes() {
        writeFile(path("from/song.mp3"), "song");
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(0));
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(1));
        writeFile(path("from/song.mp3"), "other");
        QCOMPARE(SysPublicCls::SysMoveFiles(path("from/"), path("to/deep/"), "song.mp3"), QVariant(2));
        QCOMPARE(readFile(path("to/deep/song.mp3")), QByteArray("song"));
        QVERIFY(!SysPublicCls::SysMoveFiles(path("from/"), path("from/song.mp3/x/"), "song.mp3").isValid());

        QVERIFY(SysPublicCls::FileDel(path("from/song.mp3")));
        QVERIFY(!SysPublicCls::FileDel(path("from/song.mp3")));
        QVERIFY(!SysPublicCls::FileDel(m_dir.path()));
        // Read-only files are not forced.
        QFile::setPermissions(path("to/deep/song.mp3"), QFile::ReadOwner | QFile::ReadGroup);
        QCOMPARE(errorOf([&] { SysPublicCls::PicDel(path("to/deep/song.mp3")); }), int(VbError::PermissionDenied));
        QVERIFY(QFileInfo::exists(path("to/deep/song.mp3")));
    }

    void sizes() { // hidden files count, links are not followed
        QDir().mkpath(path("tree/sub/.hidden"));
        writeFile(path("tree/a"), QByteArray(100, 'a'));
        writeFile(path("tree/sub/.hidden/c"), QByteArray(5, 'c'));
        QFile::link(path("tree"), path("tree/sub/loop"));
        QCOMPARE(SysPublicCls::FolderSize(path("tree")), qint64(105));
        QCOMPARE(errorOf([&] { SysPublicCls::FolderSize(path("nope")); }), int(VbError::PathNotFound));
        QCOMPARE(errorOf([&] { SysPublicCls::FileSize(path("tree")); }), int(VbError::FileNotFound));
    }

    void checkFileTypeLooksAtNameAndMagic() {
        const struct {
            QString name;
            QByteArray bytes;
            bool picture;
        } files[] = {{"x.GIF", "GIF89a...", true},
                     {"x.gif", "GIF87a...", false},
                     {"x.jpg", QByteArray("\x89PNG", 4), false},
                     {"x.png", QByteArray("\x89PNG", 4), true},
                     {"x.JPEG", QByteArray("\xFF\xD8\xFF\xE0", 4), true}};
        for (const auto& f : files) {
            writeFile(path(f.name), f.bytes);
            QVERIFY2(SysPublicCls::CheckFileType(path(f.name)) == f.picture, qPrintable(f.name));
        }
    }

    void drawPngStampsAtThePlaceWithAlpha() {
        makeJpeg(100, 80);
        QImage stamp(20, 10, QImage::Format_ARGB32); // left half red, right half transparent
        stamp.fill(Qt::transparent);
        QPainter(&stamp).fillRect(0, 0, 10, 10, Qt::red);
        QVERIFY(stamp.save(path("stamp.png"), "PNG"));

        QVERIFY(SysPublicCls::DrawPNG(path("photo.jpg"), {100, 80}, path("stamp.png"), {20, 10}, QVariant(5)));
        QImage result(path("photo.jpg"));
        QVERIFY(isRed(result.pixel(79, 69))); // bottom right starts at (75, 65)
        QVERIFY(isWhite(result.pixel(90, 69)) && isWhite(result.pixel(70, 69)) && isWhite(result.pixel(10, 10)));

        // A failure leaves the photo as it was.
        makeJpeg(60, 60);
        const QByteArray before = readFile(path("photo.jpg"));
        QVERIFY(!SysPublicCls::DrawPNG(path("photo.jpg"), {60, 60}, path("missing.png"), {1, 1}, "1"));
        QCOMPARE(readFile(path("photo.jpg")), before);
    }
};

QTEST_GUILESS_MAIN(TestFileOps)
#include "test_fileops.moc"
