// The regular-expression layer, with the pattern taken from the input. Properties:
// matches are ordered, disjoint and their text is the subject's; replacing every
// match by "$&" gives the subject back and by "" deletes exactly the matches; a
// pattern of letters and digits replaces as a plain case-insensitive search does; a
// bad pattern fails only with the syntax error. The link filter keeps text without markup.
#include "FuzzSupport.h"
#include "SysPublicCls.h"
#include "VbError.h"
#include "VbRegExp.h"

#include <QRegularExpression>

namespace {

bool isPlainWord(const QString& s) {
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9]+$"));
    return word.match(s).hasMatch();
}

void checkPattern(const QString& subject, const QString& pattern, const QString& replacement) {
    QRegularExpression re;
    try {
        re = VbRegExp::compile(pattern);
    } catch (const VbError& e) {
        FUZZ_CHECK(e.number() == VbError::RegExpSyntax);
        bool refused = false;
        try {
            (void)SysPublicCls::regExReplace(subject, pattern, replacement);
        } catch (const VbError& again) {
            refused = again.number() == VbError::RegExpSyntax;
        }
        FUZZ_CHECK(refused || SysPublicCls::IsBlank(subject) || SysPublicCls::IsBlank(pattern));
        return;
    }

    const QList<VbRegExp::Match> matches = VbRegExp::matchAll(subject, re);
    qsizetype last = 0;
    qsizetype matched = 0;
    for (const VbRegExp::Match& m : matches) {
        FUZZ_CHECK(m.start >= last && m.end >= m.start && m.end <= subject.size());
        FUZZ_CHECK(m.captures.size() == re.captureCount() + 1);
        FUZZ_CHECK_EQ(m.captures.at(0), subject.mid(m.start, m.end - m.start));
        last = m.end;
        matched += m.end - m.start;
    }
    FUZZ_CHECK(VbRegExp::test(subject, re) == !matches.isEmpty());
    FUZZ_CHECK_EQ(VbRegExp::replaceAll(subject, re, QStringLiteral("$&")), subject);
    FUZZ_CHECK(VbRegExp::replaceAll(subject, re, QString()).size() == subject.size() - matched);
    FUZZ_CHECK_EQ(VbRegExp::replaceAll(subject, re, QStringLiteral("$$")),
                  VbRegExp::replaceAll(subject, re, QStringLiteral("$")));

    const QVariant replaced = SysPublicCls::regExReplace(subject, pattern, replacement);
    FUZZ_CHECK(replaced.isValid() == !(SysPublicCls::IsBlank(subject) || SysPublicCls::IsBlank(pattern)));

    if (replaced.isValid() && isPlainWord(pattern) && !replacement.contains(u'$'))
        FUZZ_CHECK_EQ(replaced.toString(), QString(subject).replace(pattern, replacement, Qt::CaseInsensitive));
}

} // namespace

FUZZ_TARGET(in) {
    const quint8 mode = in.byte();
    const QString pattern = in.text();
    const QString replacement = in.text();
    const QString subject = (mode & 1) ? in.utf16() : in.text();

    checkPattern(subject, pattern, replacement);

    const QString site = pattern;
    const QString filtered = SysPublicCls::RegExp_UrlAbsOurWeb(subject, site).toString();
    if (SysPublicCls::IsBlank(site))
        FUZZ_CHECK_EQ(filtered, subject);
    else if (SysPublicCls::IsBlank(subject))
        FUZZ_CHECK(filtered.isEmpty());
    else if (!subject.contains(u'<'))
        FUZZ_CHECK_EQ(filtered, subject);
}
