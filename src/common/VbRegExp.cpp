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

// "\uXXXX" at i (the backslash): the PCRE2 spelling, or empty when it is not one.
QString unicodeEscapeAt(const QString& p, qsizetype i) {
    if (i + 6 > p.size() || p.at(i + 1) != QLatin1Char('u'))
        return {};
    for (qsizetype k = i + 2; k < i + 6; ++k) {
        if (!isHex(p.at(k)))
            return {};
    }
    return QStringLiteral("\\x{") + p.mid(i + 2, 4) + QLatin1Char('}');
}

} // namespace

QString toPcre(const QString& p) {
    // ECMAScript's "." excludes the four line terminators; PCRE2's only LF by default.
    static const QString kDot = QStringLiteral("[^\\n\\r\\x{2028}\\x{2029}]");
    QString out;
    out.reserve(p.size() + 16);
    bool inClass = false;
    bool classStart = false;         // just after "[" or "[^"
    bool lastWasClassEscape = false; // inside a class, the previous item was \w, \d, \s...
    const qsizetype n = p.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = p.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            const QString u = unicodeEscapeAt(p, i);
            if (!u.isEmpty()) {
                out += u;
                i += 5;
                lastWasClassEscape = false;
            } else {
                out += c;
                out += p.at(i + 1);
                lastWasClassEscape = inClass && isClassEscapeLetter(p.at(i + 1));
                ++i;
            }
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
                const bool nextIsClassEscape =
                    i + 2 < n && p.at(i + 1) == QLatin1Char('\\') && isClassEscapeLetter(p.at(i + 2));
                out += (lastWasClassEscape || nextIsClassEscape) ? QStringLiteral("\\-") : QStringLiteral("-");
            } else {
                out += c;
            }
            lastWasClassEscape = false;
            continue;
        }
        if (c == QLatin1Char('[')) {
            inClass = true;
            classStart = true;
            lastWasClassEscape = false;
            out += c;
            if (i + 1 < n && p.at(i + 1) == QLatin1Char('^')) {
                out += QLatin1Char('^');
                ++i;
            }
        } else if (c == QLatin1Char('.')) {
            out += kDot;
        } else if (c == QLatin1Char('$')) {
            out += QStringLiteral("\\z");
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
