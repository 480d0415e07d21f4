#include "CsFileProperties.h"
#include "TestFiles.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {

QString fixture(const char* name) {
    return QStringLiteral(VT_TEST_DATA_DIR "/pe/") + QLatin1String(name);
}

// Stands in for the desktop's file manager on a private bus.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList calls;
    bool fail = false;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { record("ShowItems ", uris); }
    void ShowItemProperties(const QStringList& uris, const QString&) { record("ShowItemProperties ", uris); }

private:
    void record(const char* method, const QStringList& uris) {
        calls.append(QLatin1String(method) + uris.join(QLatin1Char(',')));
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

    void emptyObjectAndRefusedNames() {
        CsFileProperties p;
        QVERIFY(!p.FindFileInfo(QString()));
        QVERIFY(!p.FindFileInfo(path("no-such.exe")));
        QCOMPARE(p.FileVersion(), QStringLiteral("N/A"));
        QCOMPARE(p.FileName(), QStringLiteral("N/A"));
        QCOMPARE(p.CreationTime(), QString());
    }

    void readsVersionTexts() {
        CsFileProperties p;
        const QString file = copyFixture("version64.exe", "VantobelPlay.EXE");
        QVERIFY(p.FindFileInfo(file));
        QCOMPARE(p.FileVersion(), QStringLiteral("2.1.0.57"));
        QCOMPARE(p.CompanyName(), QStringLiteral("范霍洛儿童音乐有限公司"));
        QCOMPARE(p.LegalCopyright(), QStringLiteral("© 2009 Fernhollow"));
        QCOMPARE(p.FileName(), file.toLower());
        QCOMPARE(p.ByteSize(), QStringLiteral("3.00 KB"));
        QCOMPARE(p.FindFileSize(file), qint64(3072));
        QCOMPARE(p.FindFileSize(path("none")), qint64(0));
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
        // Read-only means the owner may not write, whoever else may.
        writeFile(path(".locked"), "x");
        QFile::setPermissions(path(".locked"), QFile::ReadOwner | QFile::ReadGroup | QFile::WriteGroup);
        QVERIFY(p.FindFileInfo(path(".locked")));
        QCOMPARE(p.NormalFileType(), QStringLiteral("隐藏(√)只读(√)存档(×)"));
    }

    void timesAreUtcWithoutLeadingZeros() {
        writeFile(path("t.txt"), "x");
        QFile f(path("t.txt"));
        QVERIFY(f.open(QIODevice::ReadWrite) &&
                f.setFileTime(QDateTime(QDate(2009, 12, 1), QTime(9, 7, 3), Qt::UTC), QFile::FileModificationTime));
        // 23:30 UTC on 4 March is already 5 March in local time here.
        QVERIFY(f.setFileTime(QDateTime(QDate(2009, 3, 4), QTime(23, 30, 0), Qt::UTC), QFile::FileAccessTime));
        f.close();

        CsFileProperties p;
        QVERIFY(p.FindFileInfo(path("t.txt")));
        QCOMPARE(p.LastWriteTime(), QStringLiteral("1/12/2009 9:7:3"));
        QCOMPARE(p.LastAccessTime(), QStringLiteral("4/3/2009"));
        const QDate today = QDateTime::currentDateTimeUtc().date(); // birth time, where recorded
        if (QFileInfo(path("t.txt")).birthTime().isValid())
            QVERIFY(p.CreationTime().startsWith(
                QStringLiteral("%1/%2/%3 ").arg(today.day()).arg(today.month()).arg(today.year())));
    }

    void byteSizeText() {
        // 2047 bytes: truncated to 1.99 KB, not rounded.
        const QPair<quint64, QString> sizes[] = {{1023, "1023 bytes"},       {1536, "1.50 KB"},
                                                 {2047, "1.99 KB"},          {10240, "10.0 KB"},
                                                 {12939427, "12.3 MB"},      {quint64(100) << 20, "100 MB"},
                                                 {(1 << 20) - 1, "1023 KB"}, {quint64(5) << 30, "5.00 GB"},
                                                 {~quint64(0), "15.9 EB"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(CsFileProperties::formatByteSize(bytes), text);
        QCOMPARE(CsFileProperties::FormatLng(-1), QStringLiteral("3.99 GB")); // taken as unsigned
    }

    // The test environment has no session bus: the folder opener is the way left.
    void showWithoutABusOpensTheFolder() {
        QList<QUrl> opened;
        bool accept = true;
        CsFileProperties p([&](const QUrl& u) { return opened.append(u), accept; });
        writeFile(path("song.mp3"), "x");
        QCOMPARE(p.ShowProperties(path("song.mp3")), CsFileProperties::kShowDone);
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), 0);
        QCOMPARE(opened, (QList<QUrl>(2, QUrl::fromLocalFile(m_dir.path()))));
        accept = false;
        QCOMPARE(p.FindShowProperties(path("song.mp3")), CsFileProperties::kShowNoFileManager);
        QCOMPARE(p.ShowFilePath(0, path("song.mp3")), CsFileProperties::kShowNoFileManager);
        QCOMPARE(p.ShowFilePath(0, path("gone.mp3")), CsFileProperties::kShowFileNotFound);
        QCOMPARE(opened.size(), 4);
    }

    void showThroughTheFileManagerService() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QProcess bus;
        bus.start(daemon, QStringList{"--session", "--nofork", "--nopidfile", "--print-address=1"});
        QVERIFY(bus.waitForStarted() && bus.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        const auto stopBus = qScopeGuard([&] {
            QDBusConnection::disconnectFromBus(QStringLiteral("vt-fm"));
            QDBusConnection::disconnectFromBus(QStringLiteral("vt-client"));
            bus.kill();
            bus.waitForFinished();
        });

        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("vt-fm"));
        FakeFileManager manager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QVERIFY(QDBusConnection::connectToBus(address, QStringLiteral("vt-client")).isConnected());

        QList<QUrl> opened;
        CsFileProperties p([&](const QUrl& u) { return opened.append(u), true; }, QStringLiteral("vt-client"));
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
