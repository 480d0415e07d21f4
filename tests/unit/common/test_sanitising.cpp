#include "SysPublicCls.h"
#include "TestFiles.h"
#include "VbError.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QVariant kNull = QVariant::fromValue(nullptr);
} // namespace

class TestSanitising : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void blankIsEmptyNullOrSpacesOnly() {
        for (const QVariant& blank : {QVariant(), kNull, QVariant("   "), QVariant(QString())})
            QVERIFY(SysPublicCls::IsBlank(blank));
        for (const QVariant& filled : {QVariant("\t"), QVariant("\r\n"), QVariant(QString(QChar(0x3000))),
                                       QVariant("0"), QVariant(0), QVariant(0.0)})
            QVERIFY2(!SysPublicCls::IsBlank(filled), qPrintable(filled.toString()));
    }

    void safeRequest() {
        const struct {
            QVariant text, html;
            int sql;
            QString expected;
        } rows[] = {
            {"  <b>a=1</b>  ", 1, 0, "＜b＞a＝1＜/b＞"},
            {"  <b>a=1</b>  ", 0, 0, "<b>a=1</b>"},
            {"<", true, 0, "<"}, // only a switch equal to 1 is on
            {"<", "1", 0, "＜"},
            {"a---b", 0, 0, "a－-b"},
            {"it's 50%", 0, 0, "it‘s 50％"},
            {"\"x\";*@@@", 0, 0, "”x”；＊＠＠@"},
            {"\t a \t", 0, 0, "\t a \t"}, // only U+0020 is trimmed
            {QVariant(), 1, 1, ""},
            // SQL words, in rule order: "char" after "chr" and "mid", "declare" last.
            {"DROP TABLE x", 0, 1, "drop_ TABLE x"},
            {"Execute", 0, 1, "exec_ute_"},
            {"skills and candy", 0, 1, "skill_s and_ cand_y"},
            {"CHAR Declare sysObjects", 0, 1, "char_ declare_ sysobjects_"},
            {"DROP", 0, 0, "DROP"},
        };
        for (const auto& r : rows)
            QCOMPARE(SysPublicCls::SafeRequest(r.text, r.html, r.sql), r.expected);
    }

    void nullTextFailsWithInvalidUseOfNull() {
        QCOMPARE(errorOf([] { SysPublicCls::SafeRequest(kNull, 1, 0); }), 94);
        QCOMPARE(errorOf([] { SysPublicCls::HtmlSelfEnCode(kNull); }), 94);
        QCOMPARE(SysPublicCls::LeachHtml(kNull), QString());
    }

    void htmlSelfEnCodeMarksLineBreaks() {
        QCOMPARE(SysPublicCls::HtmlSelfEnCode(u"a\r\nb\rc\n"_s), u"a<BR>\nb<BR>c\n"_s);
    }

    // The filters below have no caller yet: one worked example per rule that could go wrong.
    void uncalledFilters() {
        QCOMPARE(SysPublicCls::ScriptSafe(u"javascript"_s, 0), u"javascript__"_s);
        QCOMPARE(SysPublicCls::ScriptSafe(u"c# OBJECT"_s, 1), u"C#_ object_"_s);
        QCOMPARE(SysPublicCls::LeachHtml(u"<p>Hi</p><a\rb>"_s), u"Hi<a\rb>"_s); // "." stops at CR
        // A broken surrogate in the text must not switch the filter off.
        QCOMPARE(SysPublicCls::LeachHtml(QString(u"<b>x"_s + QChar(0xD800) + u"</b>"_s)),
                 QString(u"x"_s + QChar(0xD800)));
        QCOMPARE(SysPublicCls::ClearHttps(u"HTTPS://a Https:/c"_s), u"http://a Https:/c"_s);
        QCOMPARE(SysPublicCls::UrlHost(u"http://h:8080/a/b"_s), u"h:8080"_s);
        // Two word runs joined by a dot, anywhere in the text.
        QVERIFY(SysPublicCls::IsUrl(u"see readme.txt"_s) && !SysPublicCls::IsUrl(u"localhost"_s));
        QCOMPARE(SysPublicCls::UrlStrValue(u"h?xid=5&id=6"_s, u"id"_s, u"&"_s), QVariant(u"x5"_s));
        QCOMPARE(SysPublicCls::UrlStrValue(u"h?Name=ABC"_s, u"name"_s, u"&"_s), QVariant(u"abc"_s));
        QVERIFY(SysPublicCls::IsSelfWeb(u"https://our.com/x"_s, u"our.com"_s, u"HTTPS"_s));
        QVERIFY(!SysPublicCls::IsSelfWeb(u"http://OUR.com"_s, u"our.com"_s, u"http"_s));
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
            {"abc", "", "x", QVariant()},                  // a blank pattern applies nothing
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
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(html, u" "_s), QVariant(html));
        QVERIFY(SysPublicCls::isNull(SysPublicCls::RegExp_UrlAbsOurWeb(kNull, QVariant())));
        const QString links = QStringLiteral("<a href='http://Our.com/1'>One</a> <a class=x href=\"http://evil.net\">"
                                             "Two</a> <a href=http://our.com/3 target=_blank>Three</a>");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(links, u"OUR.com"_s),
                 QVariant("<a  href=http://Our.com/1 >One</a> Two <a  href=http://our.com/3 target=_blank "
                          ">Three</a>\r\n\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSanitising)
#include "test_sanitising.moc"
