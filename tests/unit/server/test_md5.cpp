#include "Md5Mold.h"

#include <QCryptographicHash>
#include <QTest>

class TestMd5 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void knownAnswers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("full");
        QTest::newRow("abc") << "abc"
                             << "900150983cd24fb0d6963f7d28e17f72";
        QTest::newRow("empty") << ""
                               << "d41d8cd98f00b204e9800998ecf8427e";
        // Double-byte characters: GBK codes sign-extended into the word, length in characters.
        // Values from an independent implementation of the same message rule.
        QTest::newRow("one Chinese") << "中"
                                     << "6cba308f8d5f2b49971dbb43879a078c";
        QTest::newRow("name") << "小明妈妈"
                              << "6ce3318c8594170f081472422442f7c9";
        QTest::newRow("secret") << "芝麻开门2026"
                                << "49483c8519ab5f7d6b0dfc0844e8803b";
        QTest::newRow("mixed") << "a中b"
                               << "964019e416c72c2c4ec12f2932d2673d";
        QTest::newRow("caption") << "Brightsprout培养计划"
                                 << "27dd89954ffc039c434827d4d6aa3b14";
        QTest::newRow("14 double-byte") << QString(14, QChar(0x4E2D)) << "ff2a5bbf5fc034baa271bb2770d86a92";
        QTest::newRow("13 + abc") << QString(13, QChar(0x4E2D)) + "abc"
                                  << "e8d30b45aba3862c72149c26ba708e54";
        // A character outside the code page counts as "?" per UTF-16 unit.
        QTest::newRow("outside code page")
            << QString::fromUtf8("\xF0\x9F\x98\x80") << "ea03fcb8c47822bce772cf6c07d0ebbb";
    }
    void knownAnswers() {
        QFETCH(QString, text);
        QFETCH(QString, full);
        QCOMPARE(MD5(text, 32), full);
        QCOMPARE(MD5(text, 16), full.mid(8, 16));
        QCOMPARE(MD5(text, 0), full.mid(8, 16)); // anything but 32 is the short form
    }

    // Plain ASCII must match the standard digest on both sides of every block
    // boundary (55 characters fit one block, 56 need two).
    void asciiMatchesStandardAcrossBlocks() {
        QString text;
        for (int n = 0; n <= 130; ++n) {
            const QByteArray expected = QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5).toHex();
            QCOMPARE(MD5(text, 32), QString::fromLatin1(expected));
            text.append(QChar(u'!' + (n * 7) % 90));
        }
        QCOMPARE(MD5(QString(55, u'a'), 32), QString("ef1772b6dff9a122358552954ad0df65"));
        QCOMPARE(MD5(QString(56, u'a'), 32), QString("3b0c8ac703f828b04c6c197006d17218"));
    }

    void differsFromByteDigests() {
        const QString text = QStringLiteral("小明");
        const QString utf8 = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex();
        QVERIFY(MD5(text, 32) != utf8);
    }
};

QTEST_GUILESS_MAIN(TestMd5)
#include "test_md5.moc"
