#include "PeVersionReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace {

QString fixture(const char* name) {
    return QStringLiteral(VT_TEST_DATA_DIR "/pe/") + QLatin1String(name);
}

QByteArray fixtureBytes(const char* name) {
    QFile f(fixture(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return f.readAll();
}

QByteArray utf16(const char16_t* text) {
    const QString s = QString::fromUtf16(text);
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// Whatever the parser returns must be well-formed: no NUL inside a value, no value
// longer than the cut.
void checkWellFormed(const std::optional<PeVersion::Info>& info) {
    if (!info)
        return;
    for (const auto& table : info->stringTables)
        for (const auto& [name, value] : table.values) {
            QVERIFY(value.size() * 2 <= PeVersion::kMaxValueBytes);
            QVERIFY(!value.contains(QChar(0)));
        }
}

} // namespace

class TestPeVersion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsPe32PlusFixture() {
        const auto info = PeVersion::readFile(fixture("version64.exe"));
        QVERIFY(info);
        QVERIFY(info->hasFixed);
        QCOMPARE(PeVersion::versionText(info->fileVersion), QStringLiteral("2.1.0.57"));
        QCOMPARE(PeVersion::versionText(info->productVersion), QStringLiteral("2.1.40000.3"));
        QCOMPARE(info->translationKey(), QStringLiteral("080404B0"));
        const QString key = info->translationKey();
        QCOMPARE(info->stringValue(key, QStringLiteral("CompanyName")), QStringLiteral("范霍洛儿童音乐有限公司"));
        QCOMPARE(info->stringValue(key, QStringLiteral("ProductName")), QStringLiteral("宝宝播放器"));
        // The value holds "abc", a NUL and "def": it ends at the NUL.
        QCOMPARE(info->stringValue(key, QStringLiteral("FileDescription")), QStringLiteral("abc"));
        QCOMPARE(info->stringValue(key, QStringLiteral("LegalCopyright")), QStringLiteral("© 2009 Fernhollow"));
        // Keys and names are found whatever their case, as the platform's query does.
        QCOMPARE(info->stringValue(QStringLiteral("080404b0"), QStringLiteral("originalfilename")),
                 QStringLiteral("VantobelPlay.exe"));
        QVERIFY(!info->stringValue(key, QStringLiteral("Comments")));
        QVERIFY(!info->stringValue(QStringLiteral("040904B0"), QStringLiteral("CompanyName")));
    }

    void readsPe32FixtureAndTheTableTheTranslationNames() {
        const auto info = PeVersion::readFile(fixture("version32.exe"));
        QVERIFY(info);
        QCOMPARE(PeVersion::versionText(info->fileVersion), QStringLiteral("3.0.0.12"));
        QCOMPARE(PeVersion::versionText(info->productVersion), QStringLiteral("3.0.0.12"));
        // First translation entry only; the other table comes first in the file.
        QCOMPARE(info->translationKey(), QStringLiteral("040904E4"));
        QCOMPARE(info->stringValue(info->translationKey(), QStringLiteral("CompanyName")),
                 QStringLiteral("Fernhollow"));
        QCOMPARE(info->stringValue(QStringLiteral("080404B0"), QStringLiteral("CompanyName")),
                 QStringLiteral("Wrong table"));
        QVERIFY(!info->stringValue(info->translationKey(), QStringLiteral("InternalName")));
        // 600 characters stored; 1024 bytes of them kept.
        const QString copyright = *info->stringValue(info->translationKey(), QStringLiteral("LegalCopyright"));
        QCOMPARE(copyright.size(), PeVersion::kMaxValueBytes / 2);
        QCOMPARE(copyright, QStringLiteral("0123456789").repeated(60).left(512));
    }

    void versionWithoutTranslationStillHasFixedParts() {
        const auto info = PeVersion::readFile(fixture("notranslation.exe"));
        QVERIFY(info);
        QCOMPARE(PeVersion::versionText(info->fileVersion), QStringLiteral("1.2.3.4"));
        QCOMPARE(PeVersion::versionText(info->productVersion), QStringLiteral("5.6.7.8"));
        QVERIFY(!info->hasTranslation);
        QVERIFY(info->translationKey().isEmpty());
    }

    void filesWithoutAReadableVersionGiveNone_data() {
        QTest::addColumn<QString>("path");
        for (const char* name : {"noversion.exe", "truncated.exe", "truncated-headers.exe", "data-outside.exe",
                                 "size-outside.exe", "directory-loop.exe", "section-outside.exe"})
            QTest::newRow(name) << fixture(name);
        QTest::newRow("missing") << fixture("no-such-file.exe");
        QTest::newRow("folder") << QStringLiteral(VT_TEST_DATA_DIR "/pe");
        QTest::newRow("rc source") << fixture("version64.rc");
    }
    void filesWithoutAReadableVersionGiveNone() {
        QFETCH(QString, path);
        QVERIFY(!PeVersion::readFile(path));
    }

    void hostileVersionTreesEndWithoutHanging() {
        const QByteArray good = fixtureBytes("version64.exe");
        const qsizetype root = good.indexOf(utf16(u"VS_VERSION_INFO")) - 6;
        QVERIFY(root > 0);
        const qsizetype strings = good.indexOf(utf16(u"StringFileInfo")) - 6;
        QVERIFY(strings > root);

        // A child of length 0 would never move the walk on.
        QByteArray zeroChild = good;
        zeroChild[strings] = 0;
        zeroChild[strings + 1] = 0;
        auto info = PeVersion::parse(zeroChild);
        QVERIFY(info);
        QVERIFY(info->hasFixed);
        QVERIFY(info->stringTables.isEmpty());

        // A root claiming more than the resource holds is cut to the resource.
        QByteArray longRoot = good;
        longRoot[root] = char(0xFF);
        longRoot[root + 1] = char(0xFF);
        info = PeVersion::parse(longRoot);
        QVERIFY(info);
        QCOMPARE(PeVersion::versionText(info->fileVersion), QStringLiteral("2.1.0.57"));

        // A wrong fixed-info signature gives no fixed parts, the strings still read.
        QByteArray badSignature = good;
        badSignature[root + 40] = 0;
        info = PeVersion::parse(badSignature);
        QVERIFY(info);
        QVERIFY(!info->hasFixed);
        QCOMPARE(info->stringValue(QStringLiteral("080404B0"), QStringLiteral("InternalName")),
                 QStringLiteral("VantobelPlay"));
    }

    void garbageAndEmptyInputGiveNone() {
        QVERIFY(!PeVersion::parse(QByteArrayView()));
        QVERIFY(!PeVersion::parse(QByteArray("MZ")));
        QByteArray header(0x40, 0);
        header[0] = 'M';
        header[1] = 'Z';
        header[0x3C] = char(0xF0); // e_lfanew beyond the end
        QVERIFY(!PeVersion::parse(header));
        header[0x3C] = char(0xFF);
        header[0x3F] = char(0xFF); // e_lfanew near 4 GiB: the sum must not wrap
        QVERIFY(!PeVersion::parse(header));
    }

    // Deterministic mutation run over every fixture: bit flips, planted boundary values
    // and cuts. Under the sanitizer build this finds any read outside the data.
    void survivesMutatedFixtures() {
        std::mt19937 random(20091201);
        const QByteArray interesting[] = {QByteArray("\x00\x00\x00\x00", 4), QByteArray("\xFF\xFF\xFF\xFF", 4),
                                          QByteArray("\x00\x00\x00\x80", 4), QByteArray("\xF0\xFF\xFF\x7F", 4),
                                          QByteArray("\x06\x00", 2),         QByteArray("\xFF\xFF", 2)};
        int parsed = 0;
        int runs = 0;
        for (const char* name : {"version64.exe", "version32.exe", "notranslation.exe"}) {
            const QByteArray good = fixtureBytes(name);
            for (int i = 0; i < 1500; ++i, ++runs) {
                QByteArray bytes = good;
                const int edits = 1 + int(random() % 4);
                for (int e = 0; e < edits; ++e) {
                    const qsizetype at = qsizetype(random() % quint32(bytes.size()));
                    switch (random() % 3) {
                    case 0:
                        bytes[at] = char(bytes[at] ^ char(1u << (random() % 8)));
                        break;
                    case 1: {
                        const QByteArray& v = interesting[random() % std::size(interesting)];
                        bytes.replace(at, std::min(v.size(), bytes.size() - at), v.left(bytes.size() - at));
                        break;
                    }
                    default:
                        if (random() % 4 == 0)
                            bytes.truncate(at);
                        break;
                    }
                    if (bytes.isEmpty())
                        break;
                }
                const auto info = PeVersion::parse(bytes);
                checkWellFormed(info);
                if (info)
                    ++parsed;
            }
        }
        // Most single edits miss the resource, so most mutants still read.
        QVERIFY(parsed > runs / 4);
        QVERIFY(parsed < runs);
    }
};

QTEST_GUILESS_MAIN(TestPeVersion)
#include "test_peversion.moc"
