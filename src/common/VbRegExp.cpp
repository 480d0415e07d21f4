#include "VbRegExp.h"

#include "VbError.h"

namespace VbRegExp {

namespace {

bool isClassEscapeLetter(QChar c) {
    switch (c.unicode()) {
    case 'w':
    case 'W':
    case 'd':
    case 'D':
    case 's':
    case 'S':
        return true;
    default:
        return false;
    }
}

bool isHex(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

// True when the `count` characters after `from` are hexadecimal digits.
bool hexFollows(const QString& p, qsizetype from, int count) {
    if (from + count > p.size())
        return false;
    for (qsizetype k = from; k < from + count; ++k) {
        if (!isHex(p.at(k)))
            return false;
    }
    return true;
}

[[noreturn]] void reject(const QString& why) {
    throw VbError(VbError::RegExpSyntax, QStringLiteral("Syntax error in regular expression: ") + why);
}

// The escape at i (the backslash, with a character after it) in PCRE2 spelling; `used`
// is how many pattern characters it took. ECMAScript gives meaning to few letters; any
// other escaped letter is the letter itself, where PCRE2 would read \K, \N, \Z, \A, \z,
// \h, \Q, \p and the like as its own constructs.
QString escapeAt(const QString& p, qsizetype i, bool inClass, qsizetype& used) {
    const QChar c = p.at(i + 1);
    used = 2;
    switch (c.unicode()) {
    case 'd':
    case 'D':
    case 'w':
    case 'W':
    case 's':
    case 'S':
    case 'f':
    case 'n':
    case 'r':
    case 't':
        return QStringLiteral("\\") + c;
    case 'b':
        return inClass ? QStringLiteral("\\x{08}") : QStringLiteral("\\b"); // backspace inside brackets
    case 'B':
        return inClass ? QStringLiteral("B") : QStringLiteral("\\B");
    case 'v':
        return QStringLiteral("\\x{0B}"); // the vertical tab, not PCRE2's vertical-space class
    case 'u':
        if (!hexFollows(p, i + 2, 4))
            return QStringLiteral("u");
        used = 6;
        return QStringLiteral("\\x{") + p.mid(i + 2, 4) + QLatin1Char('}');
    case 'x':
        if (!hexFollows(p, i + 2, 2))
            return QStringLiteral("x");
        used = 4;
        return QStringLiteral("\\x{") + p.mid(i + 2, 2) + QLatin1Char('}');
    case 'c':
        if (i + 2 < p.size() && isAsciiLetter(p.at(i + 2))) {
            used = 3;
            return QStringLiteral("\\c") + p.at(i + 2);
        }
        used = 1; // a backslash of its own; the "c" follows as a plain character
        return QStringLiteral("\\\\");
    case '0':
        if (i + 2 < p.size() && isDigit(p.at(i + 2)))
            return QStringLiteral("\\0"); // an octal escape in both grammars
        return QStringLiteral("\\x{00}");
    default:
        if (isDigit(c))
            return QStringLiteral("\\") + c; // a back-reference
        if (isAsciiLetter(c))
            return QString(c);
        return QStringLiteral("\\") + c; // punctuation and the rest stand for themselves
    }
}

// Length of a braced quantifier "{n}", "{n,}" or "{n,m}" at i; 0 when "{" is a plain brace.
qsizetype bracedQuantifierAt(const QString& p, qsizetype i) {
    qsizetype k = i + 1;
    const qsizetype n = p.size();
    const qsizetype digits = k;
    while (k < n && isDigit(p.at(k)))
        ++k;
    if (k == digits)
        return 0;
    if (k < n && p.at(k) == QLatin1Char(',')) {
        ++k;
        while (k < n && isDigit(p.at(k)))
            ++k;
    }
    return k < n && p.at(k) == QLatin1Char('}') ? k + 1 - i : 0;
}

} // namespace

QString toPcre(const QString& ecmaPattern) {
    // ECMAScript's "." excludes the four line terminators; PCRE2's only LF by default.
    static const QString kDot = QStringLiteral("[^\\n\\r\\x{2028}\\x{2029}]");
    QString out;
    out.reserve(ecmaPattern.size() + 16);
    bool inClass = false;
    bool classStart = false;         // just after "[" or "[^"
    bool lastWasClassEscape = false; // inside a class, the previous item was \w, \d, \s...
    // Outside a class: what came last may take a quantifier. PCRE2 itself refuses one after
    // an assertion or "|"; what it would take and ECMAScript not is tracked here.
    bool repeatable = false;
    const qsizetype n = ecmaPattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = ecmaPattern.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            qsizetype used = 0;
            out += escapeAt(ecmaPattern, i, inClass, used);
            lastWasClassEscape = inClass && isClassEscapeLetter(ecmaPattern.at(i + 1));
            repeatable = true;
            i += used - 1;
            classStart = false;
            continue;
        }
        if (inClass) {
            if (classStart && c == QLatin1Char(']')) {
                // "[]" matches nothing and "[^]" anything in ECMAScript; PCRE2 would read "]" as a member.
                const bool negated = out.endsWith(QLatin1String("[^"));
                out.chop(negated ? 2 : 1);
                out += negated ? QStringLiteral("[\\s\\S]") : QStringLiteral("(?!)");
                inClass = false;
                classStart = false;
                continue;
            }
            classStart = false;
            if (c == QLatin1Char(']')) {
                inClass = false;
                out += c;
            } else if (c == QLatin1Char('[')) {
                out += QStringLiteral("\\["); // literal here; PCRE2 would read "[:" as a POSIX class
            } else if (c == QLatin1Char('-')) {
                const bool nextIsClassEscape = i + 2 < n && ecmaPattern.at(i + 1) == QLatin1Char('\\') &&
                                               isClassEscapeLetter(ecmaPattern.at(i + 2));
                out += (lastWasClassEscape || nextIsClassEscape) ? QStringLiteral("\\-") : QStringLiteral("-");
            } else {
                out += c;
            }
            lastWasClassEscape = false;
            continue;
        }
        const qsizetype braced = c == QLatin1Char('{') ? bracedQuantifierAt(ecmaPattern, i) : 0;
        if (c == QLatin1Char('*') || c == QLatin1Char('+') || c == QLatin1Char('?') || braced > 0) {
            // ECMAScript has one quantifier per atom, optionally lazy: "a++", "a*+" (PCRE2's
            // possessive forms), "a**" and a quantifier after nothing are errors there.
            if (!repeatable)
                reject(QStringLiteral("nothing to repeat at offset %1").arg(i));
            out += braced > 0 ? ecmaPattern.mid(i, braced) : QString(c);
            i += braced > 0 ? braced - 1 : 0;
            if (i + 1 < n && ecmaPattern.at(i + 1) == QLatin1Char('?')) {
                out += QLatin1Char('?');
                ++i;
            }
            repeatable = false;
            continue;
        }
        repeatable = true;
        if (c == QLatin1Char('[')) {
            inClass = true;
            classStart = true;
            lastWasClassEscape = false;
            out += c;
            if (i + 1 < n && ecmaPattern.at(i + 1) == QLatin1Char('^')) {
                out += QLatin1Char('^');
                ++i;
            }
        } else if (c == QLatin1Char('(')) {
            // Only (?:...), (?=...) and (?!...); PCRE2's options, atomic groups, lookbehinds,
            // names, comments and verbs do not exist in ECMAScript.
            if (i + 1 < n && ecmaPattern.at(i + 1) == QLatin1Char('?')) {
                const QChar kind = i + 2 < n ? ecmaPattern.at(i + 2) : QChar();
                if (kind != QLatin1Char(':') && kind != QLatin1Char('=') && kind != QLatin1Char('!'))
                    reject(QStringLiteral("invalid group at offset %1").arg(i));
                out += ecmaPattern.mid(i, 3);
                i += 2;
            } else {
                out += c;
            }
            repeatable = false;
        } else if (c == QLatin1Char('.')) {
            out += kDot;
        } else if (c == QLatin1Char('$')) {
            out += QStringLiteral("\\z");
        } else if (c == QLatin1Char('{')) {
            out += QStringLiteral("\\{"); // not a quantifier: a plain brace
        } else {
            out += c;
        }
    }
    return out;
}

QRegularExpression compile(const QString& ecmaPattern) {
    QRegularExpression re(toPcre(ecmaPattern), QRegularExpression::CaseInsensitiveOption);
    if (!re.isValid())
        throw VbError(VbError::RegExpSyntax, QStringLiteral("Syntax error in regular expression: ") + re.errorString());
    return re;
}

namespace {

// The subject with every lone surrogate replaced by U+FFFD; same length, same offsets.
QString matchable(const QString& subject) {
    QString out = subject;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < n && out.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            out[i] = QChar(QChar::ReplacementCharacter);
        }
    }
    return out;
}

} // namespace

QList<Match> matchAll(const QString& subject, const QRegularExpression& re) {
    QList<Match> matches;
    const QString scanned = matchable(subject);
    auto it = re.globalMatch(scanned);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        Match match;
        match.start = m.capturedStart(0);
        match.end = m.capturedEnd(0);
        for (int g = 0; g <= re.captureCount(); ++g) {
            const qsizetype start = m.capturedStart(g);
            match.captures.append(start < 0 ? QString() : subject.mid(start, m.capturedLength(g)));
        }
        matches.append(match);
    }
    return matches;
}

bool test(const QString& subject, const QRegularExpression& re) {
    return re.match(matchable(subject)).hasMatch();
}

QString expand(const QString& replacement, const Match& match, const QString& subject) {
    const int groups = static_cast<int>(match.captures.size()) - 1;
    QString out;
    out.reserve(replacement.size());
    const qsizetype n = replacement.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = replacement.at(i);
        if (c != QLatin1Char('$') || i + 1 >= n) {
            out += c;
            continue;
        }
        const QChar next = replacement.at(i + 1);
        if (next == QLatin1Char('$')) {
            out += QLatin1Char('$');
            ++i;
        } else if (next == QLatin1Char('&')) {
            out += match.captures.value(0);
            ++i;
        } else if (next == QLatin1Char('`')) {
            out += subject.left(match.start);
            ++i;
        } else if (next == QLatin1Char('\'')) {
            out += subject.mid(match.end);
            ++i;
        } else if (next.unicode() >= '0' && next.unicode() <= '9') {
            // Two digits when they name an existing group, else one digit.
            const int one = next.unicode() - '0';
            int number = -1;
            qsizetype used = 0;
            if (i + 2 < n && replacement.at(i + 2).unicode() >= '0' && replacement.at(i + 2).unicode() <= '9') {
                const int two = one * 10 + (replacement.at(i + 2).unicode() - '0');
                if (two >= 1 && two <= groups) {
                    number = two;
                    used = 2;
                }
            }
            if (number < 0 && one >= 1 && one <= groups) {
                number = one;
                used = 1;
            }
            if (number < 0) {
                out += c;
                continue;
            }
            out += match.captures.at(number);
            i += used;
        } else {
            out += c;
        }
    }
    return out;
}

QString replaceAll(const QString& subject, const QRegularExpression& re, const QString& replacement) {
    QString out;
    qsizetype last = 0;
    for (const Match& m : matchAll(subject, re)) {
        out += QStringView(subject).mid(last, m.start - last);
        out += expand(replacement, m, subject);
        last = m.end;
    }
    out += QStringView(subject).mid(last);
    return out;
}

} // namespace VbRegExp
