#include "VbConvert.h"

#include "SysPublicCls.h"

#include "VbError.h"

#include <QDate>
#include <QLocale>
#include <cmath>
#include <limits>

namespace VbConvert {

namespace {

bool isSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

std::optional<double> parseRadix(QStringView digits, int base) {
    if (digits.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    return static_cast<double>(value);
}

const QDate kSerialEpoch(1899, 12, 30);

} // namespace

std::optional<double> parseNumber(QStringView text) {
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && isSpace(text.at(b)))
        ++b;
    while (e > b && isSpace(text.at(e - 1)))
        --e;
    const QStringView t = text.mid(b, e - b);
    if (t.size() > 2 && t.at(0) == QLatin1Char('&')) {
        const QChar kind = t.at(1).toUpper();
        if (kind == QLatin1Char('H'))
            return parseRadix(t.mid(2), 16);
        if (kind == QLatin1Char('O'))
            return parseRadix(t.mid(2), 8);
        return std::nullopt;
    }
    qsizetype i = 0;
    const qsizetype n = t.size();
    QString normal;
    if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        normal += t.at(i++);
    int digits = 0;
    while (i < n && isDigit(t.at(i))) {
        normal += t.at(i++);
        ++digits;
    }
    if (i < n && t.at(i) == QLatin1Char('.')) {
        normal += t.at(i++);
        while (i < n && isDigit(t.at(i))) {
            normal += t.at(i++);
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n) {
        const QChar x = t.at(i).toUpper();
        if (x != QLatin1Char('E') && x != QLatin1Char('D'))
            return std::nullopt;
        normal += QLatin1Char('e');
        ++i;
        if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            normal += t.at(i++);
        int expDigits = 0;
        while (i < n && isDigit(t.at(i))) {
            normal += t.at(i++);
            ++expDigits;
        }
        if (expDigits == 0 || i != n)
            return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isNumberLike(const QVariant& v) {
    if (SysPublicCls::isNumeric(v) || v.metaType().id() == QMetaType::Bool)
        return true;
    return v.metaType().id() == QMetaType::QString && parseNumber(v.toString()).has_value();
}

double toNumber(const QVariant& v) {
    if (!v.isValid())
        return 0.0;
    if (v.metaType().id() == QMetaType::Nullptr)
        throw VbError(VbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? -1.0 : 0.0;
    case QMetaType::QString: {
        const auto number = parseNumber(v.toString());
        if (!number)
            throw VbError(VbError::TypeMismatch, QStringLiteral("Type mismatch: ") + v.toString());
        return *number;
    }
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        const QDateTime dt = toDateTime(v);
        return static_cast<double>(kSerialEpoch.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    }
    default:
        if (isNumberLike(v))
            return v.toDouble();
        throw VbError(VbError::TypeMismatch, QStringLiteral("Type mismatch"));
    }
}

double leadingNumber(QStringView text) {
    QString normal;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (isSpace(text.at(i)) || text.at(i) == QLatin1Char('\n') || text.at(i) == QLatin1Char('\r')))
            ++i;
    };
    skipBlanks();
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        normal += text.at(i++);
    int digits = 0;
    bool seenPoint = false;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (isDigit(c)) {
            normal += c;
            ++digits;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            normal += c;
            seenPoint = true;
        } else if (!isSpace(c)) {
            break;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < n && (text.at(i).toUpper() == QLatin1Char('E') || text.at(i).toUpper() == QLatin1Char('D'))) {
        QString exponent = QStringLiteral("e");
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            exponent += text.at(j++);
        const qsizetype expStart = j;
        while (j < n && isDigit(text.at(j)))
            exponent += text.at(j++);
        if (j > expStart)
            normal += exponent;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    return ok ? value : 0.0;
}

bool isSwitchOn(const QVariant& v) {
    if (!v.isValid() || v.isNull() || v.metaType().id() == QMetaType::Bool)
        return false;
    if (v.metaType().id() == QMetaType::QString) {
        const auto number = parseNumber(v.toString());
        return number && *number == 1.0;
    }
    return isNumberLike(v) && v.toDouble() == 1.0;
}

QDateTime toDateTime(const QVariant& v) {
    if (v.metaType().id() == QMetaType::Nullptr)
        throw VbError(VbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    switch (v.metaType().id()) {
    case QMetaType::QDateTime:
        if (v.toDateTime().isValid())
            return v.toDateTime();
        break;
    case QMetaType::QDate:
        if (v.toDate().isValid())
            return v.toDate().startOfDay();
        break;
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        static const char* const kForms[] = {"yyyy-M-d H:m:s", "yyyy-M-d H:m", "yyyy-M-d",      "yyyy/M/d H:m:s",
                                             "yyyy/M/d H:m",   "yyyy/M/d",     "yyyy-M-dTH:m:s"};
        for (const char* form : kForms) {
            QDateTime dt = QDateTime::fromString(s, QLatin1String(form));
            if (dt.isValid())
                return dt;
        }
        break;
    }
    default:
        if (isNumberLike(v) && v.metaType().id() != QMetaType::Bool) {
            const double serial = v.toDouble();
            if (std::abs(serial) < 3.0e6) {
                const double day = std::floor(serial);
                const auto msecs = static_cast<qint64>(std::llround((serial - day) * 86400000.0));
                return kSerialEpoch.addDays(static_cast<qint64>(day)).startOfDay().addMSecs(msecs);
            }
        }
        break;
    }
    throw VbError(VbError::TypeMismatch, QStringLiteral("Type mismatch: not a date"));
}

double roundHalfEven(double x) {
    const double below = std::floor(x);
    const double diff = x - below;
    if (diff > 0.5)
        return below + 1.0;
    if (diff < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

QString wholeNumberText(double x) {
    if (x == 0.0)
        return QStringLiteral("0"); // never "-0"
    if (std::abs(x) < 1e15)
        return QString::number(x, 'f', 0);
    return QString::number(x, 'g', 15).toUpper();
}

QVariant compactNumber(double x) {
    if (x == std::floor(x) && x >= std::numeric_limits<qint32>::min() && x <= std::numeric_limits<qint32>::max())
        return QVariant(static_cast<qint32>(x));
    return QVariant(x);
}

} // namespace VbConvert
