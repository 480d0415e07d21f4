// The utility class's text rules: sanitising, regular expressions, formatting, the
// 8-bit code page (operations nothing calls yet get one table row per rule that could
// go wrong); and the failure policies every routine follows.
#include "AnsiCodePage.h"
#include "FailurePolicy.h"
#include "Fakes.h"
#include "SysPublicCls.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QStringEncoder>
#include <QTest>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {
const QVariant kNull = QVariant::fromValue(nullptr);
// Just below 1 in single precision, the largest draw the generator can give.
constexpr float kTop = 0.99999994f;

// QCOMPARE names the failing row by its values.
void compareRows(std::initializer_list<std::pair<QVariant, QVariant>> rows) {
    for (const auto& [got, expected] : rows)
        QCOMPARE(got, expected);
}
void compareErrors(std::initializer_list<std::pair<std::function<void()>, int>> calls) {
    for (const auto& [call, number] : calls)
        QCOMPARE(errorOf(call), number);
}
// Every line written while a test runs, as "category type: text".
QStringList g_lines;
void capture(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    g_lines << QStringLiteral("%1 %2: %3").arg(QString::fromUtf8(context.category)).arg(int(type)).arg(text);
}
void debugOn(bool on) {
    QLoggingCategory::setFilterRules(on ? QStringLiteral("vantobel.*.debug=true")
                                        : QStringLiteral("vantobel.*.debug=false"));
}
} // namespace

// A signal that hands an argument to its handlers, as a menu's triggered(bool) does.
class Emitter : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void fired(int value);
};

class TestTexts : public QObject {
    Q_OBJECT
    QtMessageHandler m_previous = nullptr;

private Q_SLOTS:
    // Spaces, neutralised characters and defused words in general are the sanitiser
    // replay's; these rows are what it cannot see.
    void safeRequest() {
        // Blank is empty, null or spaces only, never a zero.
        compareRows({{SysPublicCls::IsBlank(QVariant()), true},
                     {SysPublicCls::IsBlank(kNull), true},
                     {SysPublicCls::IsBlank(0), false},
                     {SysPublicCls::IsBlank(0.0), false}});
        const struct {
            QVariant text, html;
            int sql;
            QString expected;
        } rows[] = {
            {"  <b>a=1</b>  ", 1, 0, "＜b＞a＝1＜/b＞"},
            {"<", true, 0, "<"}, // only a switch equal to 1 is on
            {"<", "1", 0, "＜"},
            {QVariant(), 1, 1, ""},
            // SQL words in lower case, in rule order: "char" after "chr" and "mid", "declare" last.
            {"DROP TABLE x", 0, 1, "drop_ TABLE x"},
            {"Execute skills and candy", 0, 1, "exec_ute_ skill_s and_ cand_y"},
            {"CHAR Declare sysObjects", 0, 1, "char_ declare_ sysobjects_"},
        };
        for (const auto& r : rows)
            QCOMPARE(SysPublicCls::SafeRequest(r.text, r.html, r.sql), r.expected);
        compareErrors(
            {{[] { SysPublicCls::SafeRequest(kNull, 1, 0); }, 94}, {[] { SysPublicCls::HtmlSelfEnCode(kNull); }, 94}});
    }

    void uncalledFilters() {
        compareRows({
            {SysPublicCls::ScriptSafe(u"javascript"_s, 0), u"javascript__"_s},
            {SysPublicCls::ScriptSafe(u"c# OBJECT"_s, 1), u"C#_ object_"_s},
            {SysPublicCls::LeachHtml(u"<p>Hi</p><a\rb>"_s), u"Hi<a\rb>"_s}, // "." stops at CR
            // A broken surrogate in the text must not switch the filter off.
            {SysPublicCls::LeachHtml(QString(u"<b>x"_s + QChar(0xD800) + u"</b>"_s)), QString(u"x"_s + QChar(0xD800))},
            {SysPublicCls::ClearHttps(u"HTTPS://a Https:/c"_s), u"http://a Https:/c"_s},
            {SysPublicCls::UrlHost(u"http://h:8080/a/b"_s), u"h:8080"_s},
            // Two word runs joined by a dot, anywhere in the text.
            {SysPublicCls::IsUrl(u"see readme.txt"_s), true},
            {SysPublicCls::IsUrl(u"localhost"_s), false},
            {SysPublicCls::UrlStrValue(u"h?xid=5&id=6"_s, u"id"_s, u"&"_s), u"x5"_s},
            {SysPublicCls::UrlStrValue(u"h?Name=ABC"_s, u"name"_s, u"&"_s), u"abc"_s},
            {SysPublicCls::IsSelfWeb(u"https://our.com/x"_s, u"our.com"_s, u"HTTPS"_s), true},
            {SysPublicCls::IsSelfWeb(u"http://OUR.com"_s, u"our.com"_s, u"http"_s), false},
        });
    }

    void regExReplaceBehavesLikeTheScriptObject() {
        const struct {
            QString text, pattern, replacement;
            QVariant expected;
        } rows[] = {
            {"John Smith", "(\\w+)\\s(\\w+)", "$2, $1 [$&] $$ $9", "Smith, John [John Smith] $ $9"},
            {"a\nb\n", "b$", "x", "a\nb\n"}, // "$" is the end of the text only
            {"ab", "x*", "-", "-a-b-"},
            // ECMAScript-only constructs are translated.
            {"ab", "a[]", "x", "ab"},
            {"a\nb", "a[^]b", "x", "x"},
            // An escaped letter without an ECMAScript meaning is the letter, whatever PCRE makes of it.
            {"KnZAzhQEpux", "\\K\\N\\Z\\A\\z\\h\\Q\\E\\p\\u\\x", "-", "-"},
            {"p{L}a\nb\x0B", "\\p{L}|\\v", "-", "-a\nb-"}, // "\v" is the vertical tab alone
        };
        for (const auto& r : rows)
            QCOMPARE(SysPublicCls::regExReplace(r.text, r.pattern, r.replacement), r.expected);
        // Unbalanced, and PCRE-only syntax: options, atomic groups, lookbehind, possessive
        // and doubled quantifiers, verbs.
        for (const char* bad : {"(a", "(?i)a", "(?>a)", "(?<=a)b", "a++", "a{2}+", "a**", "(*UTF)a"})
            QVERIFY2(errorOf([&] { SysPublicCls::regExReplace(u"a"_s, QString::fromLatin1(bad), QString()); }) == 5017,
                     bad);
    }

    void urlAbsOurWebKeepsOnlyOwnLinks() {
        const QString html = QStringLiteral("<SCRIPT src=a.js>go()</script><form action=x><input type=text>"
                                            "<iframe src=y></iframe>text");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(html, u"our.com"_s), QVariant(u"go()text"_s));
        // Without a site nothing is touched, not even a null.
        QVERIFY(SysPublicCls::isNull(SysPublicCls::RegExp_UrlAbsOurWeb(kNull, QVariant())));
        const QString links = QStringLiteral("<a href='http://Our.com/1'>One</a> <a class=x href=\"http://evil.net\">"
                                             "Two</a> <a href=http://our.com/3 target=_blank>Three</a>");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(links, u"OUR.com"_s),
                 QVariant("<a  href=http://Our.com/1 >One</a> Two <a  href=http://our.com/3 target=_blank "
                          ">Three</a>\r\n\r\n\r\n"));
    }

    void randomDigitsSerialsAndFormats() {
        FixedClock clock;
        SequenceRandom random({0.0f, kTop, kTop, 0.0f, kTop});
        SysPublicCls cls(clock, random);
        QCOMPARE(QVariantList({cls.Auto1ToNumbStr(9), cls.Auto1ToNumbStr(9)}), QVariantList({1, 9}));
        QCOMPARE(random.reseeds, 2);
        // Even a large bound is never exceeded.
        const int big = cls.Auto1ToNumbStr(100000000).toInt();
        QVERIFY(big > 99999900 && big <= 100000000);
        QCOMPARE(cls.YMdDateTimeSNoStrTwo(2), QStringLiteral("19090305140506"));
        QCOMPARE(random.reseeds, 6); // once for the serial, once per digit
        compareRows({{cls.Auto1ToNumbStr(QVariant()), 1},
                     {cls.YMdDateTimeSNoStrTwo(QStringLiteral("x")), QStringLiteral("090305140506")},
                     {SysPublicCls::BitValue(QString()), 0},
                     {SysPublicCls::BitValue(QStringLiteral("0")), QStringLiteral("0")},
                     {SysPublicCls::BitTrueValue(QStringLiteral(" ")), 1},
                     {SysPublicCls::BitTrueValue(0), 0}});

        // Formats nothing in the program calls yet.
        random.push(0.5f);
        compareRows({
            {cls.DateTimeSNoStr(), "2009351456"},
            {cls.DateTime24StrTwo(), "2009-03-05 14:05:06"},
            {cls.AutoSzStr(1), 6},  // 5.5: the even neighbour is up
            {cls.AutoSzStr(2), 50}, // 50.5: the even neighbour is down
            {SysPublicCls::OneToTwoStr(5), "05"},
            // "&nbsp;" goes before the spaces, so one put together by removing a space stays.
            {SysPublicCls::PureData(QStringLiteral(" a&nbsp;b\u3000\r\n&nb sp;")), "ab&nbsp;"},
            {SysPublicCls::CStrIP(4294967295.0), "255.255.255.255"},
            {SysPublicCls::NonceMonth(QStringLiteral("2009-12-31 23:59:59")), QStringLiteral("冬")},
            {SysPublicCls::DateTwain(QDateTime(QDate(2009, 11, 25), QTime(9, 1, 2)), 0, 1, 1, 1),
             "11-25&nbsp;09:01:02"},
            {SysPublicCls::DateTwain(clock.now(), 0, 0, 0, true), QString()}, // True is -1, not 1
            {SysPublicCls::LetterOrNum(QStringLiteral("ａ")), false},         // full-width letter
            {SysPublicCls::LetterOrNum(QStringLiteral("azAZ09")), true},
        });
        QCOMPARE(SysPublicCls::CLngIP(QStringLiteral("1.2.3.4.9")), 16909060.0 + 0.9);
        for (const char* yes : {" 12 ", "+.5", "2.5E-2", "&HFF"})
            QCOMPARE(SysPublicCls::IsNumbStr(QString::fromLatin1(yes)), QVariant(QString::fromLatin1(yes)));
        for (const char* no : {" ", "1e", "1.2.3", "."})
            QCOMPARE(SysPublicCls::IsNumbStr(QString::fromLatin1(no)), QVariant(0));
        // Bounds no counter can reach overflow instead of converting out of range.
        compareErrors({{[&] { cls.Auto1ToNumbStr(QStringLiteral("nine")); }, 13},
                       {[&] { cls.AutoSzStr(10); }, 6},
                       {[&] { cls.AutoSzStr(std::nan("")); }, 6},
                       {[&] { cls.AutoZmStr(1e300); }, 6},
                       {[&] { cls.YMdDateTimeSNoStrTwo(std::numeric_limits<double>::infinity()); }, 6}});
    }

    void codePage() {
        compareRows({{AnsiCodePage::charCode(QChar('A')), 65},
                     {AnsiCodePage::charCode(QStringLiteral("中")), static_cast<qint16>(0xD6D0)},
                     {AnsiCodePage::charCode(QStringLiteral("€")), 0x80},
                     {AnsiCodePage::charCode(QStringLiteral("😀")), 63},
                     {AnsiCodePage::charCode(QChar(0xD83D)), 63}, // a lone surrogate
                     {AnsiCodePage::encode(QStringLiteral("a中b")), QByteArray("a\xD6\xD0"
                                                                               "b")},
                     // a lone surrogate takes nothing with it
                     {AnsiCodePage::encode(QString(u"x😀y₩z"_s + QChar(0xD800) + u"bc"_s)), QByteArray("x?y?z?bc")},
                     // ASCII ends below 0x80: U+0080 is not in the code page, and the byte 0x80 is the euro.
                     {AnsiCodePage::encode(QString(QChar(0x80))), QByteArray("?")},
                     {AnsiCodePage::encode(QString(QStringLiteral("😀") + QChar(0x80))), QByteArray("??")},
                     {AnsiCodePage::decode("a\x80"), QStringLiteral("a€")}});
        const QString mixed = QStringLiteral("儿歌 abc ＜＞ é €");
        QCOMPARE(AnsiCodePage::decode(AnsiCodePage::encode(mixed)), mixed);
    }

    // The lengths known without the converter must be the converter's, for every character.
    void knownLengthsAreTheConvertersOwn() {
        QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
        int known = 0;
        for (char16_t c = 0; c < 0xFFFF; ++c) {
            const QChar ch(c);
            const int length = ch.isSurrogate() ? 0 : AnsiCodePage::knownLength(QStringView(&ch, 1));
            if (length == 0)
                continue;
            ++known;
            const QByteArray bytes = encoder.encode(QStringView(&ch, 1));
            QVERIFY2(!encoder.hasError() && bytes.size() == length && (c == '?' || bytes != "?"),
                     qPrintable(QString::number(c, 16)));
            QCOMPARE(AnsiCodePage::decode(bytes), QString(ch));
        }
        QVERIFY(known > 20000);                             // ASCII and the ideographs at least
        compareRows({{AnsiCodePage::knownLength(u"一"), 2}, // both ends of the ideographs
                     {AnsiCodePage::knownLength(u"龥"), 2},
                     {AnsiCodePage::knownLength(u"é"), 0},    // in the code page, but only the converter knows
                     {AnsiCodePage::knownLength(u"😀"), 0},    // a pair
                     {AnsiCodePage::knownLength(u"ab"), 0}}); // not one character
    }

    void init() {
        g_lines.clear();
        m_previous = qInstallMessageHandler(capture);
        debugOn(true);
    }
    void cleanup() { qInstallMessageHandler(m_previous); }

    // Each failed step leaves one debug line under the caller's category, and the
    // routine goes on with its next step; a handler gets the error number (a failure
    // without one counts as an invalid call).
    void everyKindOfFailureIsNotedAndNumbered() {
        const std::tuple<std::function<void()>, QString, int> kinds[] = {
            {[] { throw VbError(VbError::NoApplicationResponded); }, "error 282", 282},
            {[] { throw VbError(VbError::FileNotFound, QStringLiteral("no Sys.ini")); }, "error 53: no Sys.ini", 53},
            {[] { throw std::runtime_error("disk gone"); }, "disk gone", 5},
            {[] { throw 7; }, "an unknown failure", 5},
        };
        const auto line = [](const char* category, const QString& what) {
            return QStringLiteral("vantobel.%1 %2: %3").arg(category).arg(int(QtDebugMsg)).arg(what);
        };
        for (const auto& [body, cause, number] : kinds) {
            g_lines.clear();
            bool after = false;
            resumeNext(lcPopup, "open the notice", body);
            resumeNext(lcPopup, "the next step", [&] { after = true; });
            QCOMPARE(jumpToHandler(lcLink, "send", body), number);
            QVERIFY(after);
            QCOMPARE(g_lines, QStringList({line("popup", "open the notice failed: " + cause),
                                           line("link", "send failed: " + cause)}));
        }
        QCOMPARE(jumpToHandler(lcLink, "send", [] {}), 0);

        // With debug output off the failures stay silent.
        g_lines.clear();
        debugOn(false);
        resumeNext(lcStore, "copy the template", [] { throw VbError(VbError::PermissionDenied); });
        QCOMPARE(jumpToHandler(lcStore, "read", [] { throw VbError(VbError::PathNotFound); }), 76);
        QVERIFY(g_lines.isEmpty());
    }

    void aTrappedHandlerKeepsItsFailureFromTheEventLoop() {
        Emitter emitter;
        int seen = 0;
        int calls = 0;
        QObject::connect(&emitter, &Emitter::fired, &emitter, trapped(lcTray, "take the value", [&](int value) {
            seen = value;
            throw VbError(VbError::TypeMismatch);
        }));
        QObject::connect(&emitter, &Emitter::fired, &emitter, trapped(lcTray, "count", [&] { ++calls; }));
        // Queued, so the handler runs from the event loop as a menu click's would.
        QMetaObject::invokeMethod(
            &emitter, [&] { Q_EMIT emitter.fired(42); }, Qt::QueuedConnection);
        QTRY_COMPARE(calls, 1);
        QCOMPARE(seen, 42);
        QCOMPARE(g_lines,
                 QStringList{QStringLiteral("vantobel.tray %1: take the value failed: error 13").arg(int(QtDebugMsg))});
    }
};

VT_TEST(TestTexts)
#include "test_texts.moc"
