#include "CsFileProperties.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <ctime>

namespace {

QString fixture(const char* name) {
    return QStringLiteral(VT_TEST_DATA_DIR "/pe/") + QLatin1String(name);
}

} // namespace

class TestCsFileProperties : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    QString copyFixture(const char* name, const QString& as) {
        QFile::remove(path(as));
        QFile::copy(fixture(name), path(as));
        QFile::setPermissions(path(as), QFile::ReadOwner | QFile::WriteOwner);
        return path(as);
    }

private Q_SLOTS:
    void initTestCase() {
        // Eight hours east of UTC, so a time left in local time would show.
        qputenv("TZ", "CST-8");
        tzset();
    }

    void emptyObjectAndRefusedNames() {
        CsFileProperties p;
        QVERIFY(!p.FindFileInfo(QString()));
        QVERIFY(!p.FindFileInfo(path("no-such.exe")));
        QCOMPARE(p.FileVersion(), QStringLiteral("N/A"));
    }

    void readsVersionTexts() {
        CsFileProperties p;
        const QString file = copyFixture("version64.exe", "VantobelPlay.EXE");
        QVERIFY(p.FindFileInfo(file));
        QCOMPARE(p.FileVersion(), QStringLiteral("2.1.0.57"));
        QCOMPARE(p.CompanyName(), QStringLiteral("范霍洛儿童音乐有限公司"));
        QCOMPARE(p.FileName(), file.toLower());
        QCOMPARE(p.ByteSize(), QStringLiteral("3.00 KB"));
    }

    void versionTextsTheNewFileLacksAreKept() {
        CsFileProperties p;
        QVERIFY(p.FindFileInfo(copyFixture("version64.exe", "a.exe")));
        QVERIFY(p.FindFileInfo(copyFixture("version32.exe", "b.exe")));
        QCOMPARE(p.FileVersion(), QStringLiteral("3.0.0.12"));
        QCOMPARE(p.InternalName(), QStringLiteral("VantobelPlay")); // b.exe has none
        // No version at all, or a broken one: every version text stays, the rest follows the file.
        for (const char* broken : {"noversion.exe", "data-outside.exe", "truncated.exe"}) {
            QVERIFY(p.FindFileInfo(copyFixture(broken, "d.exe")));
            QCOMPARE(p.FileVersion(), QStringLiteral("3.0.0.12"));
            QCOMPARE(p.FileName(), path("d.exe").toLower());
        }
    }

    // Nothing in the program asks for these texts yet: one worked example each.
    void attributeTimeAndSizeTexts() {
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
        QCOMPARE(p.NormalFileType(), QStringLiteral("隐藏(√)只读(√)存档(×)"));
        QCOMPARE(p.LastWriteTime(), QStringLiteral("1/12/2009 23:7:3")); // local time would be the 2nd
        QCOMPARE(p.LastAccessTime(), QStringLiteral("2/12/2009"));       // the date alone
        // Three significant digits, truncated, not rounded: 1,000 of a unit reads in the next.
        const QPair<quint64, QString> sizes[] = {{999, "999 bytes"},    {1023, "0.99 KB"},
                                                 {2047, "1.99 KB"},     {1023 * 1024, "0.99 MB"},
                                                 {12939427, "12.3 MB"}, {~quint64(0), "15.9 EB"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(CsFileProperties::formatByteSize(bytes), text);
    }

    // The test environment has no session bus: the folder opener is the way left,
    // and its refusal must show in the result.
    void showWithoutABusOpensTheFolder() {
        QList<QUrl> opened;
        bool accept = true;
        CsFileProperties p([&](const QUrl& u) { return opened.append(u), accept; });
        writeFile(path("song.mp3"), "x");
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), 0);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(m_dir.path())});
        accept = false;
        QCOMPARE(p.FindShowProperties(path("song.mp3")), CsFileProperties::kShowNoFileManager);
        QCOMPARE(p.ShowFilePath(0, path("gone.mp3")), CsFileProperties::kShowFileNotFound);
        QCOMPARE(opened.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCsFileProperties)
#include "test_csfileproperties.moc"
