#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// The script regular-expression object's behaviour on top of PCRE2: ECMAScript
// patterns, always case-insensitive and global, "$1"-style replacements.
namespace VbRegExp {

// Rewrites the ECMAScript constructs PCRE2 reads differently: "." stops at line
// breaks, "$" means the end of the text only, "\uXXXX" and "\xHH" escapes, an escaped
// letter without a meaning is that letter ("\K" matches "K"), "[]" and "[^]", and a
// hyphen next to a class escape inside brackets ("[\w-.]") is literal. Throws VbError
// 5017 for what ECMAScript rejects but PCRE2 would take: "(?" other than "(?:", "(?="
// and "(?!", and a quantifier after nothing or after another ("a++", "a**", "(*UTF)").
QString toPcre(const QString& ecmaPattern);

// The compiled, case-insensitive expression. Throws VbError 5017 on a syntax error.
QRegularExpression compile(const QString& ecmaPattern);

// One match: where it lies in the subject and the texts of the whole match (0) and
// of every group ("" for a group that took no part).
struct Match {
    qsizetype start = 0;
    qsizetype end = 0;
    QStringList captures;
};

// Every match, left to right, as the object's Execute with Global gives them.
// PCRE2 refuses a subject with a lone surrogate outright; those are matched as
// U+FFFD so that such a text is still scanned, while the captures keep the original.
QList<Match> matchAll(const QString& subject, const QRegularExpression& re);

// True when the expression matches anywhere (the object's Test).
bool test(const QString& subject, const QRegularExpression& re);

// The replacement text for one match: "$1".."$99", "$&", "$`", "$'" and "$$" are
// expanded, anything else is copied. A reference to a group that does not exist
// stays as written.
QString expand(const QString& replacement, const Match& match, const QString& subject);

// Every match in subject replaced by the expanded replacement.
QString replaceAll(const QString& subject, const QRegularExpression& re, const QString& replacement);

} // namespace VbRegExp
