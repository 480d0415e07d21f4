#include "PeVersionReader.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QTest>

namespace {
QString fixture(const char* name) {
    return QStringLiteral(VT_TEST_DATA_DIR "/pe/") + QLatin1String(name);
}
qsizetype blockAt(const QByteArray& image, const char16_t* key) {
    const QString k = QString::fromUtf16(key);
    return image.indexOf(QByteArray(reinterpret_cast<const char*>(k.utf16()), k.size() * 2)) - 6;
}
} // namespace

class TestPeVersion : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

VT_TEST(TestPeVersion)
#include "test_peversion.moc"
