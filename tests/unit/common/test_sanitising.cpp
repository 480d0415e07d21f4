#include "Fakes.h"
#include "SysPublicCls.h"
#include "VbError.h"
#include "VbRegExp.h"

#include <QTest>

namespace {
const QVariant kNull = QVariant::fromValue(nullptr);

// The error number a call throws, 0 when it does not throw.
template <typename F> int errorOf(F&& call) {
    try {
        call();
    } catch (const VbError& e) {
        return e.number();
    }
    return 0;
}
} // namespace

class TestSanitising : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void blankIsEmptyNullOrSpacesOnly() {
        QVERIFY(SysPublicCls::IsBlank(QVariant()));
        QVERIFY(SysPublicCls::IsBlank(kNull));
        QVERIFY(SysPublicCls::IsBlank(QStringLiteral("   ")));
        QVERIFY(SysPublicCls::IsBlank(QString()));
        QVERIFY(!SysPublicCls::IsBlank(QStringLiteral("\t")));
        QVERIFY(!SysPublicCls::IsBlank(QStringLiteral("\r\n")));
        QVERIFY(!SysPublicCls::IsBlank(QString(QChar(0x3000))));
        QVERIFY(!SysPublicCls::IsBlank(QStringLiteral("0")));
        QVERIFY(!SysPublicCls::IsBlank(0));
        QVERIFY(!SysPublicCls::IsBlank(0.0));
    }

    void safeRequestNeutralisesMarkupAndQuotes() {
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("  <b>a=1</b>  "), 1, 0), QStringLiteral("＜b＞a＝1＜/b＞"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("  <b>a=1</b>  "), 0, 0), QStringLiteral("<b>a=1</b>"));
        // Only a switch equal to 1 is on.
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("<"), true, 0), QStringLiteral("<"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("<"), QStringLiteral("1"), 0), QStringLiteral("＜"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("a---b"), 0, 0), QStringLiteral("a－-b"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("it's 50%"), 0, 0), QStringLiteral("it‘s 50％"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("\"x\";*@@@"), 0, 0), QStringLiteral("”x”；＊＠＠@"));
        // Only U+0020 is trimmed.
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("\t a \t"), 0, 0), QStringLiteral("\t a \t"));
        QCOMPARE(SysPublicCls::SafeRequest(QVariant(), 1, 1), QString());
    }

    void safeRequestSqlKeywordsInRuleOrder() {
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("DROP TABLE x"), 0, 1), QStringLiteral("drop_ TABLE x"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("Execute"), 0, 1), QStringLiteral("exec_ute_"));
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("skills and candy"), 0, 1),
                 QStringLiteral("skill_s and_ cand_y"));
        // "char" runs after "chr" and "mid"; "declare" last.
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("CHAR Declare sysObjects"), 0, 1),
                 QStringLiteral("char_ declare_ sysobjects_"));
        // Off: the words stay as written.
        QCOMPARE(SysPublicCls::SafeRequest(QStringLiteral("DROP"), 0, 0), QStringLiteral("DROP"));
    }

    void scriptSafeRunsRulesOnTheRunningText() {
        QCOMPARE(SysPublicCls::ScriptSafe(QStringLiteral("javascript"), 0), QStringLiteral("javascript__"));
        QCOMPARE(SysPublicCls::ScriptSafe(QStringLiteral("vbscript"), 0), QStringLiteral("vbs_cript_"));
        QCOMPARE(SysPublicCls::ScriptSafe(QStringLiteral("csharp"), 1), QStringLiteral("cs_harp"));
        QCOMPARE(SysPublicCls::ScriptSafe(QStringLiteral("csharp"), 0), QStringLiteral("csharp"));
        QCOMPARE(SysPublicCls::ScriptSafe(QStringLiteral("c# OBJECT"), 1), QStringLiteral("C#_ object_"));
    }

    void nullTextFailsWithInvalidUseOfNull() {
        QCOMPARE(errorOf([] { SysPublicCls::SafeRequest(kNull, 1, 0); }), 94);
        QCOMPARE(errorOf([] { SysPublicCls::ScriptSafe(kNull, 0); }), 94);
        QCOMPARE(errorOf([] { SysPublicCls::HtmlSelfEnCode(kNull); }), 94);
        QCOMPARE(SysPublicCls::LeachHtml(kNull), QString());
    }

    void leachHtmlDeletesTagsOnOneLine() {
        QCOMPARE(SysPublicCls::LeachHtml(QStringLiteral("<p>Hi</p> &nbsp;")), QStringLiteral("Hi &nbsp;"));
        QCOMPARE(SysPublicCls::LeachHtml(QStringLiteral("a < b > c")), QStringLiteral("a  c"));
        QCOMPARE(SysPublicCls::LeachHtml(QStringLiteral("a<>b")), QStringLiteral("a<>b"));
        // "." stops at CR as well as LF.
        QCOMPARE(SysPublicCls::LeachHtml(QStringLiteral("<a\rb>x<i\nj>")), QStringLiteral("<a\rb>x<i\nj>"));
        // A matched tag text is removed wherever it occurs, case-sensitively.
        QCOMPARE(SysPublicCls::LeachHtml(QStringLiteral("<b>1</b>2<B>")), QStringLiteral("12"));
        QCOMPARE(SysPublicCls::LeachHtml(QStringLiteral("   ")), QString());
        // A broken surrogate in the text must not switch the filter off.
        const QString broken = QStringLiteral("<b>x") + QChar(0xD800) + QStringLiteral("</b>");
        QCOMPARE(SysPublicCls::LeachHtml(broken), QString(QStringLiteral("x") + QChar(0xD800)));
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(QString(QChar(0xDC00) + QStringLiteral("<script>a</script>")),
                                                   QStringLiteral("our.com")),
                 QString(QChar(0xDC00) + QStringLiteral("a")));
        QVERIFY(SysPublicCls::IsUrl(QString(QChar(0xD800) + QStringLiteral("a.b"))));
    }

    void htmlSelfEnCodeAndClearHttps() {
        QCOMPARE(SysPublicCls::HtmlSelfEnCode(QStringLiteral("a\r\nb\rc\n")), QStringLiteral("a<BR>\nb<BR>c\n"));
        QCOMPARE(SysPublicCls::ClearHttps(QStringLiteral("HTTPS://a https://b Https:/c")),
                 QStringLiteral("http://a http://b Https:/c"));
    }

    void regExReplaceBehavesLikeTheScriptObject() {
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("abc"), QString(), QStringLiteral("x")), QVariant());
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral(" "), QStringLiteral("a"), QStringLiteral("x")), QVariant());
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("aXbxc"), QStringLiteral("x"), QStringLiteral("-")),
                 QVariant(QStringLiteral("a-b-c")));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("John Smith"), QStringLiteral("(\\w+)\\s(\\w+)"),
                                            QStringLiteral("$2, $1 [$&] $$ $9")),
                 QVariant(QStringLiteral("Smith, John [John Smith] $ $9")));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("ab\r\ncd"), QStringLiteral(".+"), QStringLiteral("x")),
                 QVariant(QStringLiteral("x\r\nx")));
        // "$" is the end of the text only, not the end of a line.
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("a\nb\n"), QStringLiteral("b$"), QStringLiteral("x")),
                 QVariant(QStringLiteral("a\nb\n")));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("ab"), QStringLiteral("x*"), QStringLiteral("-")),
                 QVariant(QStringLiteral("-a-b-")));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("a-b.c"), QStringLiteral("[\\w-.]+"), QStringLiteral("x")),
                 QVariant(QStringLiteral("x")));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("中a"), QStringLiteral("\\u4E2D"), QStringLiteral("z")),
                 QVariant(QStringLiteral("za")));
        QCOMPARE(errorOf([] { SysPublicCls::regExReplace(QStringLiteral("a"), QStringLiteral("(a"), QString()); }),
                 5017);
    }

    void ecmaOnlyConstructsAreTranslated() {
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("ab"), QStringLiteral("a[]"), QStringLiteral("x")),
                 QVariant(QStringLiteral("ab")));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("a\nb"), QStringLiteral("a[^]b"), QStringLiteral("x")),
                 QVariant(QStringLiteral("x")));
        // Escaped dots, and dots or dollars inside brackets, stay literal.
        QCOMPARE(VbRegExp::toPcre(QStringLiteral("\\.[.$]")), QStringLiteral("\\.[.$]"));
        QCOMPARE(SysPublicCls::regExReplace(QStringLiteral("a:[b"), QStringLiteral("[[:a]+"), QStringLiteral("x")),
                 QVariant(QStringLiteral("xb")));
    }

    void urlAbsOurWebKeepsOnlyOwnLinks() {
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(QStringLiteral("<script>x</script>"), QStringLiteral(" ")),
                 QStringLiteral("<script>x</script>"));
        const QString html = QStringLiteral("<SCRIPT src=a.js>go()</script><form action=x><input type=text>"
                                            "<iframe src=y></iframe>text");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(html, QStringLiteral("our.com")), QStringLiteral("go()text"));

        const QString links = QStringLiteral("<a href='http://Our.com/1'>One</a> <a class=x href=\"http://evil.net\">"
                                             "Two</a> <a href=http://our.com/3 target=_blank>Three</a>");
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(links, QStringLiteral("OUR.com")),
                 QStringLiteral("<a  href=http://Our.com/1 >One</a> Two <a  href=http://our.com/3 target=_blank "
                                ">Three</a>\r\n\r\n\r\n"));
        // A repeated foreign link is unwrapped everywhere, and still adds one line end per match.
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(QStringLiteral("<a href=x.org>X</a><a href=x.org>X</a>"),
                                                   QStringLiteral("our.com")),
                 QStringLiteral("XX\r\n\r\n"));
        QCOMPARE(SysPublicCls::RegExp_UrlAbsOurWeb(QStringLiteral("<script>"), QStringLiteral("our.com")), QString());
    }

    void urlPieces() {
        QVERIFY(!SysPublicCls::IsUrl(QStringLiteral("localhost")));
        QVERIFY(SysPublicCls::IsUrl(QStringLiteral("a.b")));
        QVERIFY(SysPublicCls::IsUrl(QStringLiteral("http://x-y.com/a b?c=%1")));

        QCOMPARE(SysPublicCls::UrlHost(QStringLiteral("http://h:8080/a/b")), QStringLiteral("h:8080"));
        QCOMPARE(SysPublicCls::UrlHost(QStringLiteral("h")), QString());
        QCOMPARE(SysPublicCls::UrlHost(QStringLiteral("http:\\\\h\\a")), QString());
        QCOMPARE(SysPublicCls::UrlHost(kNull), QString());
    }

    void urlStrValueIsLowerCasedAndLoose() {
        const QString url = QStringLiteral("http://h/p?A=1&b=2");
        QCOMPARE(SysPublicCls::UrlStrValue(url, QStringLiteral("a"), QStringLiteral("&")),
                 QVariant(QStringLiteral("1")));
        QCOMPARE(SysPublicCls::UrlStrValue(url, QStringLiteral("B"), QStringLiteral("&")),
                 QVariant(QStringLiteral("2")));
        QCOMPARE(SysPublicCls::UrlStrValue(url, QStringLiteral("c"), QStringLiteral("&")), QVariant(QString()));
        QCOMPARE(SysPublicCls::UrlStrValue(QStringLiteral("h?a=1?b"), QStringLiteral("a"), QStringLiteral("&")),
                 QVariant());
        QCOMPARE(SysPublicCls::UrlStrValue(QStringLiteral("h/p"), QStringLiteral("a"), QStringLiteral("&")),
                 QVariant());
        QCOMPARE(SysPublicCls::UrlStrValue(QStringLiteral("h?xid=5&id=6"), QStringLiteral("id"), QStringLiteral("&")),
                 QVariant(QStringLiteral("x5")));
        QCOMPARE(SysPublicCls::UrlStrValue(QStringLiteral("h?Name=ABC"), QStringLiteral("name"), QStringLiteral("&")),
                 QVariant(QStringLiteral("abc")));
        QCOMPARE(SysPublicCls::UrlStrValue(QStringLiteral("h?a=1;b=2"), QStringLiteral("b"), QStringLiteral(";")),
                 QVariant(QStringLiteral("2")));
        QCOMPARE(SysPublicCls::UrlStrValue(QStringLiteral("h?a=1&b=2"), QStringLiteral("b"), QString()),
                 QVariant(QStringLiteral("a=1&2")));
        QCOMPARE(SysPublicCls::UrlStrValue(kNull, QStringLiteral("a"), QStringLiteral("&")), QVariant());
    }

    void isSelfWebComparesAfterTheScheme() {
        QVERIFY(SysPublicCls::IsSelfWeb(QStringLiteral("http://our.com/x"), QStringLiteral("our.com"),
                                        QStringLiteral("http")));
        QVERIFY(SysPublicCls::IsSelfWeb(QStringLiteral("https://our.com/x"), QStringLiteral("our.com"),
                                        QStringLiteral("HTTPS")));
        QVERIFY(!SysPublicCls::IsSelfWeb(QStringLiteral("https://our.com/x"), QStringLiteral("our.com"),
                                         QStringLiteral("HTTP")));
        QVERIFY(!SysPublicCls::IsSelfWeb(QStringLiteral("http://OUR.com"), QStringLiteral("our.com"),
                                         QStringLiteral("http")));
        // The scheme itself is never looked at.
        QVERIFY(SysPublicCls::IsSelfWeb(QStringLiteral("ftp://xour.com"), QStringLiteral("our.com"),
                                        QStringLiteral("http")));
        QVERIFY(
            !SysPublicCls::IsSelfWeb(QStringLiteral("http://o"), QStringLiteral("our.com"), QStringLiteral("http")));
        QCOMPARE(errorOf([] {
                     SysPublicCls::IsSelfWeb(QStringLiteral("ftp://a"), QStringLiteral("a"), QStringLiteral("ftp"));
                 }),
                 5);
    }
};

QTEST_GUILESS_MAIN(TestSanitising)
#include "test_sanitising.moc"
