#include "Fakes.h"
#include "SysPublicCls.h"
#include "TestFiles.h"
#include "VbError.h"

#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <limits>

namespace {
const QVariant kNull = QVariant::fromValue(nullptr);

// Just below 1 in single precision, the largest draw the generator can give.
constexpr float kTop = 0.99999994f;
} // namespace

class TestFormatting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void randomDigitsStayInRange() {
        FixedClock clock;
        SequenceRandom random({0.0f, kTop, kTop});
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.Auto1ToNumbStr(9), QVariant(1));
        QCOMPARE(cls.Auto1ToNumbStr(9), QVariant(9));
        QCOMPARE(random.reseeds, 2);
        // Even a large bound is never exceeded.
        const int big = cls.Auto1ToNumbStr(100000000).toInt();
        QVERIFY(big > 99999900 && big <= 100000000);
        QCOMPARE(cls.Auto1ToNumbStr(QVariant()), QVariant(1));
        QCOMPARE(errorOf([&] { cls.Auto1ToNumbStr(QStringLiteral("nine")); }), 13);
    }

    void serialWithRandomPrefix() {
        FixedClock clock;
        SequenceRandom random({0.0f, kTop});
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(2), QStringLiteral("19090305140506"));
        QCOMPARE(random.reseeds, 3); // once for the serial, once per digit
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(QStringLiteral("x")), QStringLiteral("090305140506"));
    }

    void bitDefaults() {
        QCOMPARE(SysPublicCls::BitValue(QString()), QVariant(0));
        QCOMPARE(SysPublicCls::BitValue(QStringLiteral("0")), QVariant(QStringLiteral("0")));
        QCOMPARE(SysPublicCls::BitTrueValue(QStringLiteral(" ")), QVariant(1));
        QCOMPARE(SysPublicCls::BitTrueValue(0), QVariant(0));
    }

    // The rest has no caller yet: one worked example for each rule that is easy to get wrong.
    void uncalledTexts() {
        FixedClock clock;
        SequenceRandom random({0.5f, 0.5f});
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.DateTimeSNoStr(), QStringLiteral("2009351456"));
        QCOMPARE(cls.DateTime24StrTwo(), QStringLiteral("2009-03-05 14:05:06"));
        QCOMPARE(cls.AutoSzStr(1), 6);  // 5.5: the even neighbour is up
        QCOMPARE(cls.AutoSzStr(2), 50); // 50.5: the even neighbour is down
        QCOMPARE(errorOf([&] { cls.AutoSzStr(10); }), 6);
        // Bounds no counter can reach overflow instead of converting out of range.
        QCOMPARE(errorOf([&] { cls.AutoSzStr(std::nan("")); }), 6);
        QCOMPARE(errorOf([&] { cls.AutoZmStr(1e300); }), 6);
        QCOMPARE(errorOf([&] { cls.YMdDateTimeSNoStrTwo(std::numeric_limits<double>::infinity()); }), 6);
        QCOMPARE(SysPublicCls::OneToTwoStr(5), QVariant(QStringLiteral("05")));
        for (const char* yes : {" 12 ", "+.5", "2.5E-2", "&HFF"})
            QCOMPARE(SysPublicCls::IsNumbStr(QString::fromLatin1(yes)), QVariant(QString::fromLatin1(yes)));
        for (const char* no : {" ", "1e", "1.2.3", "."})
            QCOMPARE(SysPublicCls::IsNumbStr(QString::fromLatin1(no)), QVariant(0));
        // "&nbsp;" goes before the spaces, so one put together by removing a space stays.
        QCOMPARE(SysPublicCls::PureData(QStringLiteral(" a&nbsp;b\u3000\r\n&nb sp;")), QStringLiteral("ab&nbsp;"));
        QCOMPARE(SysPublicCls::CLngIP(QStringLiteral("1.2.3.4.9")), 16909060.0 + 0.9);
        QCOMPARE(SysPublicCls::CStrIP(4294967295.0), QStringLiteral("255.255.255.255"));
        QCOMPARE(SysPublicCls::NonceMonth(QStringLiteral("2009-12-31 23:59:59")), QStringLiteral("冬"));
        QCOMPARE(SysPublicCls::DateTwain(QDateTime(QDate(2009, 11, 25), QTime(9, 1, 2)), 0, 1, 1, 1),
                 QStringLiteral("11-25&nbsp;09:01:02"));
        QCOMPARE(SysPublicCls::DateTwain(QDateTime(QDate(2009, 3, 5), QTime(14, 5, 6)), 0, 0, 0, true),
                 QString());                                                        // True is -1, not 1
        QCOMPARE(SysPublicCls::LetterOrNum(QStringLiteral("ａ")), QVariant(false)); // full-width letter
        QCOMPARE(SysPublicCls::LetterOrNum(QStringLiteral("azAZ09")), QVariant(true));
    }
};

QTEST_GUILESS_MAIN(TestFormatting)
#include "test_formatting.moc"
