#include "Md5Mold.h"

#include <QCryptographicHash>
#include <QTest>

class TestMd5 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Chinese: GBK codes sign-extended into the words, length in characters; values from an
    // independent implementation of the same rule. Outside the code page: "?" for each UTF-16 unit.
    void knownAnswers() {
        const QPair<QString, QString> answers[] = {
            {"abc", "900150983cd24fb0d6963f7d28e17f72"},
            {"中", "6cba308f8d5f2b49971dbb43879a078c"},
            {"芝麻开门2026", "49483c8519ab5f7d6b0dfc0844e8803b"},
            {QString(13, QChar(0x4E2D)) + "abc", "e8d30b45aba3862c72149c26ba708e54"},
            {"\U0001F600", "ea03fcb8c47822bce772cf6c07d0ebbb"},
            // Where code-page tables differ: the euro is 0x80, private use is in the user area
            // (AA A1), Hangul is outside the code page ("?").
            {"€", "8d39dd7eef115ea6975446ef4082951f"},
            {"\uE000", "2b41512a18219f09e575634178f4d3f3"},
            {"한", "d1457b72c3fb323a2671125aef3eab5d"},
        };
        for (const auto& [text, full] : answers) {
            QCOMPARE(MD5(text, 32), full);
            QCOMPARE(MD5(text, 16), full.mid(8, 16));
            QCOMPARE(MD5(text, 0), full.mid(8, 16));
        }
    }

    // ASCII matches the standard digest on both sides of each block boundary
    // (55 characters fit one block, 56 need two).
    void asciiMatchesStandardAcrossBlocks() {
        QString text;
        for (int n = 0; n <= 130; ++n) {
            QCOMPARE(MD5(text, 32), QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5).toHex());
            text.append(QChar(u'!' + (n * 7) % 90));
        }
    }
};

QTEST_GUILESS_MAIN(TestMd5)
#include "test_md5.moc"
