#include "Fakes.h"
#include "SysPublicCls.h"
#include "TestFiles.h"
#include "VbError.h"
#include "VbRegExp.h"

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

    void scriptSafeRunsRulesOnTheRunningText() {
        QCOMPARE(SysPublicCls::ScriptSafe(u"javascript"_s, 0), u"javascript__"_s);
        QCOMPARE(SysPublicCls::ScriptSafe(u"vbscript"_s, 0), u"vbs_cript_"_s);
        QCOMPARE(SysPublicCls::ScriptSafe(u"csharp"_s, 1), u"cs_harp"_s);
        QCOMPARE(SysPublicCls::ScriptSafe(u"csharp"_s, 0), u"csharp"_s);
        QCOMPARE(SysPublicCls::ScriptSafe(u"c# OBJECT"_s, 1), u"C#_ object_"_s);
    }

    void nullTextFailsWithInvalidUseOfNull() {
        QCOMPARE(errorOf([] { SysPublicCls::SafeRequest(kNull, 1, 0); }), 94);
        QCOMPARE(errorOf([] { SysPublicCls::ScriptSafe(kNull, 0); }), 94);
        QCOMPARE(errorOf([] { SysPublicCls::HtmlSelfEnCode(kNull); }), 94);
        QCOMPARE(SysPublicCls::LeachHtml(kNull), QString());
    }

    void leachHtmlDeletesTagsOnOneLine() {
        QCOMPARE(SysPublicCls::LeachHtml(u"<p>Hi</p> &nbsp;"_s), u"Hi &nbsp;"_s);
        QCOMPARE(SysPublicCls::LeachHtml(u"a<>b"_s), u"a<>b"_s);
        // "." stops at CR as well as LF.
        QCOMPARE(SysPublicCls::LeachHtml(u"<a\rb>x<i\nj>"_s), u"<a\rb>x<i\nj>"_s);
        // A matched tag text is removed wherever it occurs, case-sensitively.
        QCOMPARE(SysPublicCls::LeachHtml(u"<b>1</b>2<B>"_s), u"12"_s);
        QCOMPARE(SysPublicCls::LeachHtml(u"   "_s), QString());
        // A broken surrogate in the text must not switch the filter off.
        const QString broken = u"<b>x"_s + QChar(0xD800) + u"</b>"_s;
        QCOMPARE(SysPublicCls::LeachHtml(broken), QString(u"x"_s + QChar(0xD800)));
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(QString(QChar(0xDC00) + u"<script>a</script>"_s), u"our.com"_s),
                 QString(QChar(0xDC00) + u"a"_s));
        QVERIFY(SysPublicCls::IsUrl(QString(QChar(0xD800) + u"a.b"_s)));
    }

    void htmlSelfEnCodeAndClearHttps() {
        QCOMPARE(SysPublicCls::HtmlSelfEnCode(u"a\r\nb\rc\n"_s), u"a<BR>\nb<BR>c\n"_s);
        QCOMPARE(SysPublicCls::ClearHttps(u"HTTPS://a https://b Https:/c"_s), u"http://a http://b Https:/c"_s);
    }

    void regExReplaceBehavesLikeTheScriptObject() {
        const struct {
            QString text, pattern, replacement;
            QVariant expected;
        } rows[] = {
            {"abc", "", "x", QVariant()},
            {" ", "a", "x", QVariant()},
            {"aXbxc", "x", "-", "a-b-c"},
            {"John Smith", "(\\w+)\\s(\\w+)", "$2, $1 [$&] $$ $9", "Smith, John [John Smith] $ $9"},
            {"ab\r\ncd", ".+", "x", "x\r\nx"},
            {"a\nb\n", "b$", "x", "a\nb\n"}, // "$" is the end of the text only
            {"ab", "x*", "-", "-a-b-"},
            {"a-b.c", "[\\w-.]+", "x", "x"},
            {"中a", "\\u4E2D", "z", "za"},
            // ECMAScript-only constructs are translated.
            {"ab", "a[]", "x", "ab"},
            {"a\nb", "a[^]b", "x", "x"},
            {"a:[b", "[[:a]+", "x", "xb"},
        };
        for (const auto& r : rows)
            QCOMPARE(SysPublicCls::regExReplace(r.text, r.pattern, r.replacement), r.expected);
        // Escaped dots, and dots or dollars inside brackets, stay literal.
        QCOMPARE(VbRegExp::toPcre(u"\\.[.$]"_s), u"\\.[.$]"_s);
        QCOMPARE(errorOf([] { SysPublicCls::regExReplace(u"a"_s, u"(a"_s, QString()); }), 5017);
    }

    void urlAbsOurWebKeepsOnlyOwnLinks() {
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(u"<script>x</script>"_s, u" "_s), u"<script>x</script>"_s);
        const QString html = QStringLiteral("<SCRIPT src=a.js>go()</script><form action=x><input type=text>"
                                            "<iframe src=y></iframe>text");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(html, u"our.com"_s), u"go()text"_s);

        const QString links = QStringLiteral("<a href='http://Our.com/1'>One</a> <a class=x href=\"http://evil.net\">"
                                             "Two</a> <a href=http://our.com/3 target=_blank>Three</a>");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(links, u"OUR.com"_s),
                 QStringLiteral("<a  href=http://Our.com/1 >One</a> Two <a  href=http://our.com/3 target=_blank "
                                ">Three</a>\r\n\r\n\r\n"));
        // A repeated foreign link is unwrapped everywhere, and still adds one line end per match.
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(u"<a href=x.org>X</a><a href=x.org>X</a>"_s, u"our.com"_s),
                 u"XX\r\n\r\n"_s);
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(u"<script>"_s, u"our.com"_s), QString());
    }

    void urlPieces() {
        QVERIFY(!SysPublicCls::IsUrl(u"localhost"_s));
        QVERIFY(SysPublicCls::IsUrl(u"http://x-y.com/a b?c=%1"_s));
        QCOMPARE(SysPublicCls::UrlHost(u"http://h:8080/a/b"_s), u"h:8080"_s);
        QCOMPARE(SysPublicCls::UrlHost(u"http:\\\\h\\a"_s), QString());
        QCOMPARE(SysPublicCls::UrlHost(kNull), QString());

        // Lower-cased, and loose about where the name starts.
        const struct {
            QVariant url;
            QString name, separator;
            QVariant expected;
        } values[] = {
            {"http://h/p?A=1&b=2", "a", "&", "1"}, {"http://h/p?A=1&b=2", "B", "&", "2"},
            {"http://h/p?A=1&b=2", "c", "&", ""},  {"h?a=1?b", "a", "&", QVariant()},
            {"h/p", "a", "&", QVariant()},         {"h?xid=5&id=6", "id", "&", "x5"},
            {"h?Name=ABC", "name", "&", "abc"},    {"h?a=1;b=2", "b", ";", "2"},
            {"h?a=1&b=2", "b", "", "a=1&2"},       {kNull, "a", "&", QVariant()},
        };
        for (const auto& v : values)
            QCOMPARE(SysPublicCls::UrlStrValue(v.url, v.name, v.separator), v.expected);
    }

    void isSelfWebComparesAfterTheScheme() {
        const struct {
            QString url, host, scheme;
            bool self;
        } rows[] = {
            {"http://our.com/x", "our.com", "http", true},   {"https://our.com/x", "our.com", "HTTPS", true},
            {"https://our.com/x", "our.com", "HTTP", false}, {"http://OUR.com", "our.com", "http", false},
            {"ftp://xour.com", "our.com", "http", true}, // the scheme itself is never looked at
            {"http://o", "our.com", "http", false},
        };
        for (const auto& r : rows)
            QVERIFY2(SysPublicCls::IsSelfWeb(r.url, r.host, r.scheme) == r.self, qPrintable(r.url));
        QCOMPARE(errorOf([] { SysPublicCls::IsSelfWeb(u"ftp://a"_s, u"a"_s, u"ftp"_s); }), 5);
    }
};

QTEST_GUILESS_MAIN(TestSanitising)
#include "test_sanitising.moc"
