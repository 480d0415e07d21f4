#include "CsFileProperties.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {

QString fixture(const char* name) {
    return QStringLiteral(VT_TEST_DATA_DIR "/pe/") + QLatin1String(name);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

// Stands in for the desktop's file manager on a private bus.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList calls;
    bool fail = false;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { record(QStringLiteral("ShowItems"), uris); }
    void ShowItemProperties(const QStringList& uris, const QString&) {
        record(QStringLiteral("ShowItemProperties"), uris);
    }

private:
    void record(const QString& method, const QStringList& uris) {
        calls.append(method + QLatin1Char(' ') + uris.join(QLatin1Char(',')));
        if (fail)
            sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show"));
    }
};

} // namespace

class TestCsFileProperties : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    QString copyFixture(const char* name, const QString& as) {
        const QString target = path(as);
        QFile::remove(target);
        QFile::copy(fixture(name), target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }

private Q_SLOTS:
    void initTestCase() {
        // Eight hours east of UTC, so a time left in local time would show.
        qputenv("TZ", "CST-8");
        tzset();
    }

    void emptyObjectReadsNaAndEmpty() {
        const CsFileProperties p;
        for (const QString& text :
             {p.FileVersion(), p.ProductVersion(), p.CompanyName(), p.FileDescription(), p.InternalName(),
              p.LegalCopyright(), p.OriginalFileName(), p.ProductName(), p.FileName(), p.ByteSize()})
            QCOMPARE(text, QStringLiteral("N/A"));
        QCOMPARE(p.CreationTime(), QString());
        QCOMPARE(p.LastWriteTime(), QString());
        QCOMPARE(p.NormalFileType(), QString());
        QCOMPARE(p.AntionFileType(), QString());
        QVERIFY(!p.Temporary());
    }

    void emptyOrMissingNameChangesNothing() {
        CsFileProperties p;
        QVERIFY(p.FindFileInfo(copyFixture("version64.exe", "Player.exe")));
        QVERIFY(!p.FindFileInfo(QString()));
        QVERIFY(!p.FindFileInfo(path("no-such.exe")));
        QCOMPARE(p.FileName(), path("player.exe").toLower());
        QCOMPARE(p.FileVersion(), QStringLiteral("2.1.0.57"));
    }

    void readsVersionTexts() {
        CsFileProperties p;
        const QString file = copyFixture("version64.exe", "VantobelPlay.EXE");
        QVERIFY(p.FindFileInfo(file));
        QCOMPARE(p.FileVersion(), QStringLiteral("2.1.0.57"));
        QCOMPARE(p.ProductVersion(), QStringLiteral("2.1.40000.3"));
        QCOMPARE(p.CompanyName(), QStringLiteral("范霍洛儿童音乐有限公司"));
        QCOMPARE(p.FileDescription(), QStringLiteral("abc"));
        QCOMPARE(p.ProductName(), QStringLiteral("宝宝播放器"));
        QCOMPARE(p.OriginalFileName(), QStringLiteral("VantobelPlay.exe"));
        QCOMPARE(p.InternalName(), QStringLiteral("VantobelPlay"));
        QCOMPARE(p.LegalCopyright(), QStringLiteral("© 2009 Fernhollow"));
        QCOMPARE(p.FileName(), file.toLower());
        QCOMPARE(p.ByteSize(), QStringLiteral("3.00 KB"));
    }

    void versionTextsTheNewFileLacksAreKept() {
        CsFileProperties p;
        QVERIFY(p.FindFileInfo(copyFixture("version64.exe", "a.exe")));
        QVERIFY(p.FindFileInfo(copyFixture("version32.exe", "b.exe")));
        QCOMPARE(p.FileVersion(), QStringLiteral("3.0.0.12"));
        QCOMPARE(p.CompanyName(), QStringLiteral("Fernhollow"));
        QCOMPARE(p.InternalName(), QStringLiteral("VantobelPlay")); // b.exe has none

        // No translation: the fixed parts change, the strings stay.
        QVERIFY(p.FindFileInfo(copyFixture("notranslation.exe", "c.exe")));
        QCOMPARE(p.FileVersion(), QStringLiteral("1.2.3.4"));
        QCOMPARE(p.ProductVersion(), QStringLiteral("5.6.7.8"));
        QCOMPARE(p.CompanyName(), QStringLiteral("Fernhollow"));

        // No version at all, or a broken one: every version text stays, the rest follows the file.
        for (const char* broken : {"noversion.exe", "data-outside.exe", "truncated.exe"}) {
            QVERIFY(p.FindFileInfo(copyFixture(broken, "d.exe")));
            QCOMPARE(p.FileVersion(), QStringLiteral("1.2.3.4"));
            QCOMPARE(p.FileName(), path("d.exe").toLower());
        }
        QCOMPARE(p.ByteSize(), QStringLiteral("2.13 KB")); // truncated.exe, 2182 bytes
    }

    void attributeMarks() {
        CsFileProperties p;
        writeFile(path("plain.txt"), "x");
        QVERIFY(p.FindFileInfo(path("plain.txt")));
        QCOMPARE(p.NormalFileType(), QStringLiteral("隐藏(×)只读(×)存档(×)"));
        QCOMPARE(p.AntionFileType(), QStringLiteral(" 系统(×)临时(×)一般(×)压缩(×)"));

        writeFile(path("locked.txt"), "x");
        QFile::setPermissions(path("locked.txt"), QFile::ReadOwner | QFile::ReadGroup | QFile::WriteGroup);
        QVERIFY(p.FindFileInfo(path("locked.txt")));
        QCOMPARE(p.NormalFileType(), QStringLiteral("隐藏(×)只读(√)存档(×)"));

        writeFile(path(".hidden"), "x");
        QVERIFY(p.FindFileInfo(path(".hidden")));
        QCOMPARE(p.NormalFileType(), QStringLiteral("隐藏(√)只读(×)存档(×)"));
        QVERIFY(!p.Temporary());
    }

    void timesAreUtcWithoutLeadingZeros() {
        writeFile(path("t.txt"), "x");
        QFile f(path("t.txt"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime(QDate(2009, 12, 1), QTime(9, 7, 3), Qt::UTC), QFile::FileModificationTime));
        // 23:30 UTC on 4 March is already 5 March in local time here.
        QVERIFY(f.setFileTime(QDateTime(QDate(2009, 3, 4), QTime(23, 30, 0), Qt::UTC), QFile::FileAccessTime));
        f.close();

        CsFileProperties p;
        QVERIFY(p.FindFileInfo(path("t.txt")));
        QCOMPARE(p.LastWriteTime(), QStringLiteral("1/12/2009 9:7:3"));
        QCOMPARE(p.LastAccessTime(), QStringLiteral("4/3/2009"));
        if (QFileInfo(path("t.txt")).birthTime().isValid()) {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            QVERIFY(p.CreationTime().startsWith(
                QStringLiteral("%1/%2/%3 ").arg(now.date().day()).arg(now.date().month()).arg(now.date().year())));
        } else {
            QCOMPARE(p.CreationTime(), QString());
        }
    }

    void formatLng_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "0 bytes";
        QTest::newRow("532") << qint64(532) << "532 bytes";
        QTest::newRow("1023") << qint64(1023) << "1023 bytes";
        QTest::newRow("1 KB") << qint64(1024) << "1.00 KB";
        QTest::newRow("1.5 KB") << qint64(1536) << "1.50 KB";
        QTest::newRow("just short of 2 KB") << qint64(2047) << "1.99 KB";
        QTest::newRow("10 KB") << qint64(10 * 1024) << "10.0 KB";
        QTest::newRow("12.3 MB") << qint64(12939427) << "12.3 MB";
        QTest::newRow("100 MB") << qint64(100) * 1024 * 1024 << "100 MB";
        QTest::newRow("1023.9 KB") << qint64(1024 * 1024 - 1) << "1023 KB";
        QTest::newRow("negative is unsigned") << qint64(-1) << "3.99 GB";
    }
    void formatLng() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(CsFileProperties::FormatLng(qint32(bytes)), text);
    }

    void formatsSizesBeyond32Bits() {
        QCOMPARE(CsFileProperties::formatByteSize(quint64(5) << 30), QStringLiteral("5.00 GB"));
        QCOMPARE(CsFileProperties::formatByteSize(quint64(1) << 40), QStringLiteral("1.00 TB"));
        QCOMPARE(CsFileProperties::formatByteSize(~quint64(0)), QStringLiteral("15.9 EB"));
    }

    void bigFileSizeIsWhole() {
        // Sparse, so it costs no disk space.
        QFile big(path("big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        if (!big.resize(qint64(5) << 30))
            QSKIP("this file system cannot hold a 5 GiB sparse file");
        big.close();
        CsFileProperties p;
        QVERIFY(p.FindFileInfo(path("big.bin")));
        QCOMPARE(p.ByteSize(), QStringLiteral("5.00 GB"));
        QCOMPARE(p.FindFileSize(path("big.bin")), qint64(5) << 30);
        QFile::remove(path("big.bin"));
    }

    void findFileSizeGivesBytes() {
        writeFile(path("s.bin"), QByteArray(1536, 'x'));
        const CsFileProperties p;
        QCOMPARE(p.FindFileSize(path("s.bin")), qint64(1536));
        QCOMPARE(p.FindFileSize(path("none.bin")), qint64(0));
    }

    // The test environment has no session bus: the folder opener is the way left.
    void showWithoutABusOpensTheFolder() {
        QList<QUrl> opened;
        bool accept = true;
        CsFileProperties p([&](const QUrl& u) {
            opened.append(u);
            return accept;
        });
        writeFile(path("song.mp3"), "x");
        QCOMPARE(p.ShowProperties(path("song.mp3")), CsFileProperties::kShowDone);
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), 0);
        QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(m_dir.path()), QUrl::fromLocalFile(m_dir.path())}));

        accept = false;
        QCOMPARE(p.FindShowProperties(path("song.mp3")), CsFileProperties::kShowNoFileManager);
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), CsFileProperties::kShowNoFileManager);

        opened.clear();
        QCOMPARE(p.ShowProperties(path("gone.mp3")), CsFileProperties::kShowFileNotFound);
        QCOMPARE(p.ShowFilePath(0, QString()), CsFileProperties::kShowFileNotFound);
        QVERIFY(opened.isEmpty());
    }

    void showThroughTheFileManagerService() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QProcess bus;
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                           QStringLiteral("--print-address=1")});
        QVERIFY(bus.waitForStarted());
        QVERIFY(bus.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        const auto stopBus = qScopeGuard([&] {
            QDBusConnection::disconnectFromBus(QStringLiteral("vt-fm"));
            QDBusConnection::disconnectFromBus(QStringLiteral("vt-client"));
            bus.kill();
            bus.waitForFinished();
        });

        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("vt-fm"));
        QVERIFY(service.isConnected());
        FakeFileManager manager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QVERIFY(QDBusConnection::connectToBus(address, QStringLiteral("vt-client")).isConnected());

        QList<QUrl> opened;
        CsFileProperties p(
            [&](const QUrl& u) {
                opened.append(u);
                return true;
            },
            QStringLiteral("vt-client"));
        writeFile(path("song.mp3"), "x");
        const QString uri = QUrl::fromLocalFile(path("song.mp3")).toString();

        QCOMPARE(p.ShowProperties(path("song.mp3")), CsFileProperties::kShowDone);
        QTRY_COMPARE(manager.calls, QStringList{QStringLiteral("ShowItemProperties ") + uri});
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), 0);
        QTRY_COMPARE(manager.calls.size(), 2);
        QCOMPARE(manager.calls[1], QStringLiteral("ShowItems ") + uri);
        QTest::qWait(50);
        QVERIFY(opened.isEmpty());

        // The file manager refuses: the folder opens instead.
        manager.fail = true;
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), 0);
        QTRY_COMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(m_dir.path())});
    }
};

QTEST_GUILESS_MAIN(TestCsFileProperties)
#include "test_csfileproperties.moc"
