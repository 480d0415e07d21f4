// The sanitisers of the utility class. Properties: SafeRequest leaves none of the
// characters it neutralises and loses nothing else (mapping the replacements back
// gives the trimmed input); every SQL word that survives is defused by an underscore;
// LeachHtml only deletes; HtmlSelfEnCode turns every CR, and only CRs, into <BR>.
#include "FuzzSupport.h"
#include "SysPublicCls.h"

#include <QRegularExpression>

namespace {

const QStringList kSqlWords = {"sysobjects", "kill",   "drop",     "create", "cursor", "execute", "and",
                               "exec",       "insert", "select",   "delete", "update", "count",   "chr",
                               "mid",        "master", "truncate", "char",   "declare"};

// Only the plain space counts as blank.
QString trimSpaces(QString s) {
    static const QRegularExpression ends(QStringLiteral("^ +| +$"));
    return s.remove(ends);
}

// The replacements of SafeRequest mapped back to what they stand for.
QString unneutralised(QString s) {
    static const std::pair<char16_t, const char*> kBack[] = {
        {0xFF1C, "<"}, {0xFF1E, ">"}, {0xFF1D, "="}, {0x2018, "'"},  {0x201D, "\""},
        {0xFF1B, ";"}, {0xFF05, "%"}, {0xFF0A, "*"}, {0xFF0D, "--"}, {0xFF20, "@"}};
    for (const auto& [wide, ascii] : kBack)
        s.replace(QChar(wide), QLatin1String(ascii));
    return s;
}

bool isSubsequence(const QString& part, const QString& whole) {
    qsizetype j = 0;
    for (qsizetype i = 0; i < whole.size() && j < part.size(); ++i)
        if (whole.at(i) == part.at(j))
            ++j;
    return j == part.size();
}

void checkSafeRequest(const QString& s, bool html, bool sql) {
    const QString out = SysPublicCls::SafeRequest(s, html ? 1 : 0, sql ? 1 : 0);
    FUZZ_CHECK(!out.startsWith(u' ') && !out.endsWith(u' '));
    for (const char* bad : {"'", "\"", ";", "%", "*", "--", "@@"})
        FUZZ_CHECK_MSG(!out.contains(QLatin1String(bad)), out);
    if (html)
        for (QChar bad : {u'<', u'>', u'='})
            FUZZ_CHECK_MSG(!out.contains(bad), out);
    if (sql) { // every SQL word that survives is followed by "_"
        for (const QString& word : kSqlWords)
            for (qsizetype at = out.indexOf(word, 0, Qt::CaseInsensitive); at >= 0;
                 at = out.indexOf(word, at + 1, Qt::CaseInsensitive))
                FUZZ_CHECK_MSG(out.mid(at + word.size(), 1) == QLatin1String("_"), word + QLatin1String(" in ") + out);
        return;
    }
    // Nothing is lost: the input comes back when the replacements are undone.
    if (unneutralised(s) == s)
        FUZZ_CHECK_EQ(unneutralised(out), trimSpaces(s));
}

} // namespace

FUZZ_TARGET(in) {
    const quint8 mode = in.byte();
    const QString s = (mode & 1) ? in.utf16() : in.text();

    checkSafeRequest(s, mode & 2, mode & 4);
    if (mode & 4) // the SQL pass only adds underscores and changes case
        FUZZ_CHECK(SysPublicCls::SafeRequest(s, 0, 1).remove(u'_').compare(
                       SysPublicCls::SafeRequest(s, 0, 0).remove(u'_'), Qt::CaseInsensitive) == 0);

    const QString leached = SysPublicCls::LeachHtml(s);
    if (SysPublicCls::IsBlank(s))
        FUZZ_CHECK(leached.isEmpty());
    else if (!s.contains(u'<') || !s.contains(u'>'))
        FUZZ_CHECK_EQ(leached, s);
    FUZZ_CHECK(isSubsequence(leached, s));

    const QString encoded = SysPublicCls::HtmlSelfEnCode(s);
    FUZZ_CHECK(!encoded.contains(u'\r'));
    if (!s.contains(QLatin1String("<BR>")))
        FUZZ_CHECK_EQ(QString(encoded).replace(QLatin1String("<BR>"), QLatin1String("\r")), s);

    FUZZ_CHECK(SysPublicCls::IsBlank(s) == trimSpaces(s).isEmpty());
}
