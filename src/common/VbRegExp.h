#pragma once

#include <QRegularExpression>
#include <QString>

// The script regular-expression object's behaviour on top of PCRE2: ECMAScript
// patterns, always case-insensitive and global, "$1"-style replacements.
namespace VbRegExp {

// Rewrites the ECMAScript constructs PCRE2 reads differently: "." stops at line
// breaks, "$" means the end of the text only, "\uXXXX" escapes, "[]" and "[^]",
// and a hyphen next to a class escape inside brackets ("[\w-.]") is literal.
QString toPcre(const QString& ecmaPattern);

// The compiled, case-insensitive expression. Throws VbError 5017 on a syntax error.
QRegularExpression compile(const QString& ecmaPattern);

// The replacement text for one match: "$1".."$99", "$&", "$`", "$'" and "$$" are
// expanded, anything else is copied. A reference to a group that does not exist
// stays as written; a group that took no part in the match gives "".
QString expand(const QString& replacement, const QRegularExpressionMatch& match, const QString& subject);

// Every match in subject replaced by the expanded replacement.
QString replaceAll(const QString& subject, const QRegularExpression& re, const QString& replacement);

} // namespace VbRegExp
