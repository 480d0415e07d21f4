#include "AnsiCodePage.h"

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
    }
};

QTEST_GUILESS_MAIN(TestAnsiCodePage)
#include "test_ansicodepage.moc"
