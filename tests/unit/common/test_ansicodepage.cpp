#include "AnsiCodePage.h"

#include <QStringEncoder>
#include <QTest>

class TestAnsiCodePage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void charCodesAsTheRuntimeGivesThem() {
        QCOMPARE(AnsiCodePage::charCode(QChar('A')), 65);
        QCOMPARE(AnsiCodePage::charCode(QStringLiteral("中")), static_cast<qint16>(0xD6D0));
        QCOMPARE(AnsiCodePage::charCode(QStringLiteral("€")), 0x80);
        QCOMPARE(AnsiCodePage::charCode(QStringLiteral("😀")), 63);
        QCOMPARE(AnsiCodePage::charCode(QChar(0xD83D)), 63); // a lone surrogate
    }

    void encodeReplacesWhatGbkCannotHoldAndDecodeReverses() {
        QCOMPARE(AnsiCodePage::encode(QStringLiteral("a中b")), QByteArray("a\xD6\xD0"
                                                                          "b"));
        QCOMPARE(AnsiCodePage::encode(QStringLiteral("x😀y₩z") + QChar(0xD800) + QStringLiteral("bc")),
                 QByteArray("x?y?z?bc")); // a lone surrogate takes nothing with it
        const QString mixed = QStringLiteral("儿歌 abc ＜＞ é €");
        QCOMPARE(AnsiCodePage::decode(AnsiCodePage::encode(mixed)), mixed);
        // ASCII ends below 0x80: U+0080 is not in the code page, and the byte 0x80 is the euro.
        QCOMPARE(AnsiCodePage::encode(QString(QChar(0x80))), QByteArray("?"));
        QCOMPARE(AnsiCodePage::encode(QStringLiteral("😀") + QChar(0x80)), QByteArray("??"));
        QCOMPARE(AnsiCodePage::decode("a\x80"), QStringLiteral("a€"));
    }

    // The lengths known without the converter must be the converter's, for every character.
    void knownLengthsAreTheConvertersOwn() {
        QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
        int known = 0;
        for (char16_t c = 0; c < 0xFFFF; ++c) {
            const QChar ch(c);
            if (ch.isSurrogate())
                continue;
            const int length = AnsiCodePage::knownLength(QStringView(&ch, 1));
            if (length == 0)
                continue;
            ++known;
            const QByteArray bytes = encoder.encode(QStringView(&ch, 1));
            QVERIFY2(!encoder.hasError() && bytes.size() == length && (c == '?' || bytes != "?"),
                     qPrintable(QString::number(c, 16)));
            QCOMPARE(AnsiCodePage::decode(bytes), QString(ch));
        }
        QVERIFY(known > 20000);                        // ASCII and the ideographs at least
        QCOMPARE(AnsiCodePage::knownLength(u"一"), 2); // both ends of the ideographs
        QCOMPARE(AnsiCodePage::knownLength(u"龥"), 2);
        QCOMPARE(AnsiCodePage::knownLength(u"é"), 0);  // in the code page, but only the converter knows
        QCOMPARE(AnsiCodePage::knownLength(u"😀"), 0);  // a pair
        QCOMPARE(AnsiCodePage::knownLength(u"ab"), 0); // not one character
    }
};

QTEST_GUILESS_MAIN(TestAnsiCodePage)
#include "test_ansicodepage.moc"
