#include "AnsiCodePage.h"
#include "Fakes.h"
#include "SysPublicCls.h"
#include "TestFiles.h"
#include "VbError.h"

#include <QRegularExpression>
#include <QTest>

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
        SequenceRandom random({0.0f, kTop, 0.5f});
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.Auto1ToNumbStr(9), QVariant(1));
        QCOMPARE(cls.Auto1ToNumbStr(9), QVariant(9));
        QCOMPARE(cls.Auto1ToNumbStr(9), QVariant(5));
        QCOMPARE(random.reseeds, 3);
        // Even a large bound is never exceeded.
        random.push(kTop);
        const int big = cls.Auto1ToNumbStr(100000000).toInt();
        QVERIFY(big > 99999900 && big <= 100000000);
        QCOMPARE(cls.Auto1ToNumbStr(QStringLiteral("4")), QVariant(4));
        QCOMPARE(cls.Auto1ToNumbStr(QVariant()), QVariant(1));
        QCOMPARE(errorOf([&] { cls.Auto1ToNumbStr(QStringLiteral("nine")); }), 13);
    }

    void serialWithRandomPrefix() {
        FixedClock clock;
        SequenceRandom random({0.0f, kTop});
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(2), QStringLiteral("19090305140506"));
        QCOMPARE(random.reseeds, 3); // once for the serial, once per digit
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(QString()), QStringLiteral("090305140506"));
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(QStringLiteral("x")), QStringLiteral("090305140506"));
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(QStringLiteral(" 3 ")).size(), 15);
    }

    void clockTexts() {
        FixedClock clock;
        SequenceRandom random;
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.DateTimeSNoStrTwo(), QStringLiteral("20090305140506"));
        QCOMPARE(cls.DateTime24StrTwo(), QStringLiteral("2009-03-05 14:05:06"));
        QCOMPARE(cls.DateTimeSNoStr(), QStringLiteral("2009351456"));
        clock.set(QDateTime(QDate(2012, 12, 31), QTime(0, 0, 0)));
        QCOMPARE(cls.DateTimeSNoStr(), QStringLiteral("20121231000"));
    }

    void randomLettersAndNumbers() {
        FixedClock clock;
        SequenceRandom random({0.0f, kTop, 0.5f});
        SysPublicCls cls(clock, random);
        QCOMPARE(cls.AutoZmStr(3), QVariant(QStringLiteral("AZN")));
        QCOMPARE(random.reseeds, 1);
        QCOMPARE(cls.AutoZmStr(0), QVariant());
        QCOMPARE(cls.AutoZmStr(2.7), QVariant(QStringLiteral("NN")));

        random.push(0.0f);
        QCOMPARE(cls.AutoSzStr(3), 1);
        random.push(kTop);
        QCOMPARE(cls.AutoSzStr(3), 1000);
        random.push(0.5f);
        QCOMPARE(cls.AutoSzStr(1), 6); // 5.5: the even neighbour is up
        random.push(0.5f);
        QCOMPARE(cls.AutoSzStr(2), 50); // 50.5: the even neighbour is down
        QCOMPARE(cls.AutoSzStr(0), 1);
        random.push(kTop);
        const qint32 nineDigits = cls.AutoSzStr(9);
        QVERIFY(nineDigits > 999999900 && nineDigits <= 1000000000);
        QCOMPARE(errorOf([&] { cls.AutoSzStr(10); }), 6);
        QCOMPARE(errorOf([&] { cls.AutoSzStr(-1); }), 5);
        QCOMPARE(errorOf([&] { cls.AutoSzStr(QStringLiteral("many")); }), 13);
    }

    void paddingAndDefaults() {
        QCOMPARE(SysPublicCls::OneToTwoStr(QVariant()), QVariant(QStringLiteral("0")));
        QCOMPARE(SysPublicCls::OneToTwoStr(5), QVariant(QStringLiteral("05")));
        QCOMPARE(SysPublicCls::OneToTwoStr(12), QVariant(12));
        QCOMPARE(SysPublicCls::OneToTwoStr(QStringLiteral("123")), QVariant(QStringLiteral("123")));
        QCOMPARE(SysPublicCls::BitValue(QString()), QVariant(0));
        QCOMPARE(SysPublicCls::BitValue(QStringLiteral("0")), QVariant(QStringLiteral("0")));
        QCOMPARE(SysPublicCls::BitTrueValue(QStringLiteral(" ")), QVariant(1));
        QCOMPARE(SysPublicCls::BitTrueValue(0), QVariant(0));
        QCOMPARE(SysPublicCls::ClearNullValue(kNull), QVariant(QString()));
    }

    void numericTexts() {
        for (const char* yes : {" 12 ", "-3.5", "+.5", "1e3", "2.5E-2", "7.", "&HFF"})
            QCOMPARE(SysPublicCls::IsNumbStr(QString::fromLatin1(yes)), QVariant(QString::fromLatin1(yes)));
        for (const char* no : {"", " ", "1e", "1 2", "abc", "1.2.3", "--1", "."})
            QCOMPARE(SysPublicCls::IsNumbStr(QString::fromLatin1(no)), QVariant(0));
        QCOMPARE(SysPublicCls::IsNumbStr(2.5), QVariant(2.5));
        QCOMPARE(SysPublicCls::IsNumbStr(kNull), QVariant(0));
    }

    void pureDataDropsSpacesAndBreaks() {
        QCOMPARE(SysPublicCls::PureData(QStringLiteral(" a&nbsp;b \r\n")), QStringLiteral("ab"));
        QCOMPARE(SysPublicCls::PureData(QStringLiteral("a\tb\u3000c")), QStringLiteral("abc"));
        // "&nbsp;" goes before the spaces, so one put together by removing a space stays.
        QCOMPARE(SysPublicCls::PureData(QStringLiteral("&nb sp;")), QStringLiteral("&nbsp;"));
        const QString code255 = AnsiCodePage::decode(QByteArray(1, '\xff'));
        QCOMPARE(AnsiCodePage::charCode(code255), 255);
        QCOMPARE(SysPublicCls::PureData(QString(QStringLiteral("x") + code255 + QStringLiteral("y"))),
                 QStringLiteral("xy"));
        QCOMPARE(SysPublicCls::PureData(QStringLiteral("  ")), QString());
    }

    void dottedAddresses() {
        QCOMPARE(SysPublicCls::CLngIP(QStringLiteral("1.2.3.4")), 16909060.0);
        QCOMPARE(SysPublicCls::CLngIP(QStringLiteral("255.255.255.255")), 4294967295.0);
        // The fourth piece keeps any further dots and counts by its leading number.
        QCOMPARE(SysPublicCls::CLngIP(QStringLiteral("1.2.3.4.9")), 16909060.0 + 0.9);
        QCOMPARE(SysPublicCls::CLngIP(QStringLiteral("0.0.0.7x")), 7.0);
        QCOMPARE(errorOf([] { SysPublicCls::CLngIP(QStringLiteral("1.2.3")); }), 9);
        QCOMPARE(errorOf([] { SysPublicCls::CLngIP(QStringLiteral("1.b.3.4")); }), 13);

        QCOMPARE(SysPublicCls::CStrIP(16909060), QStringLiteral("1.2.3.4"));
        QCOMPARE(SysPublicCls::CStrIP(4294967295.0), QStringLiteral("255.255.255.255"));
        QCOMPARE(SysPublicCls::CStrIP(QStringLiteral("65536")), QStringLiteral("0.1.0.0"));
        QCOMPARE(SysPublicCls::CStrIP(SysPublicCls::CLngIP(QStringLiteral("10.0.255.1"))),
                 QStringLiteral("10.0.255.1"));
        QCOMPARE(errorOf([] { SysPublicCls::CStrIP(QStringLiteral("ip")); }), 13);
    }

    void seasonsAndDates() {
        const QList<QPair<int, QString>> months = {{1, "冬"}, {2, "冬"}, {3, "春"},  {5, "春"}, {6, "夏"},
                                                   {8, "夏"}, {9, "秋"}, {11, "秋"}, {12, "冬"}};
        for (const auto& [month, season] : months)
            QCOMPARE(SysPublicCls::NonceMonth(QDate(2009, month, 15)), season);
        QCOMPARE(SysPublicCls::NonceMonth(QStringLiteral("2009-12-31 23:59:59")), QStringLiteral("冬"));
        QCOMPARE(errorOf([] { SysPublicCls::NonceMonth(QStringLiteral("spring")); }), 13);

        const QDateTime t(QDate(2009, 3, 5), QTime(14, 5, 6));
        QCOMPARE(SysPublicCls::DateTwain(t, 1, 1, 1, 1), QStringLiteral("2009-03-05&nbsp;14:05:06"));
        QCOMPARE(SysPublicCls::DateTwain(t, 1, 1, 0, 0), QStringLiteral("2009-03-"));
        QCOMPARE(SysPublicCls::DateTwain(QDateTime(QDate(2009, 11, 25), QTime(9, 1, 2)), 0, 1, 1, 1),
                 QStringLiteral("11-25&nbsp;09:01:02"));
        QCOMPARE(SysPublicCls::DateTwain(t, 0, 0, 0, true), QString()); // True is -1, not 1
        QCOMPARE(errorOf([] { SysPublicCls::DateTwain(QStringLiteral("now"), 1, 1, 1, 1); }), 13);
    }

    void letterOrNum() {
        QCOMPARE(SysPublicCls::LetterOrNum(QStringLiteral("abc123XYZ")), QVariant(true));
        QCOMPARE(SysPublicCls::LetterOrNum(QStringLiteral("ab-c")), QVariant(false));
        QCOMPARE(SysPublicCls::LetterOrNum(QStringLiteral("ab中")), QVariant(false));
        QCOMPARE(SysPublicCls::LetterOrNum(QStringLiteral("ａ")), QVariant(false)); // full-width letter
        QCOMPARE(SysPublicCls::LetterOrNum(QString()), QVariant());
    }
};

QTEST_GUILESS_MAIN(TestFormatting)
#include "test_formatting.moc"
