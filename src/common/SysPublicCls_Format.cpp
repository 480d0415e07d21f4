// Serial texts from the clock and the random generator, padding, defaults for
// blank values, dotted IPv4 addresses and date display texts.
#include "SysPublicCls.h"

#include "AnsiCodePage.h"
#include "Seams.h"
#include "VbConvert.h"
#include "VbError.h"

#include <cmath>
#include <limits>

namespace {

// The runtime's For i = 1 To n: how many times the body runs.
qint64 loopCount(const QVariant& n) {
    if (SysPublicCls::isNull(n))
        throw VbError(VbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    const double limit = VbConvert::toNumber(n);
    // The runtime's loop counter is a Long; a bound past it (or not a number) overflows.
    if (std::isnan(limit) || limit > std::numeric_limits<qint32>::max())
        throw VbError(VbError::Overflow, QStringLiteral("Overflow"));
    return limit < 1.0 ? 0 : static_cast<qint64>(std::floor(limit));
}

QString twoDigits(int value) {
    return SysPublicCls::OneToTwoStr(value).toString();
}

} // namespace

QVariant SysPublicCls::Auto1ToNumbStr(const QVariant& Num) {
    m_random.reseed();
    const float r = m_random.next();
    if (isNull(Num))
        return Num; // arithmetic on null stays null
    const double upper = VbConvert::toNumber(Num);
    // Double precision keeps Num * r below Num even for large bounds.
    return VbConvert::compactNumber(std::floor(upper * static_cast<double>(r)) + 1.0);
}

QString SysPublicCls::YMdDateTimeSNoStrTwo(const QVariant& MdNum) {
    m_random.reseed();
    QString serial;
    if (!IsBlank(MdNum) && VbConvert::isNumberLike(MdNum)) {
        const qint64 count = loopCount(MdNum);
        for (qint64 i = 0; i < count; ++i)
            serial += Auto1ToNumbStr(9).toString();
    }
    const QDateTime now = m_clock.now();
    serial += twoDigits(now.date().year()).right(2);
    serial += twoDigits(now.date().month());
    serial += twoDigits(now.date().day());
    serial += twoDigits(now.time().hour());
    serial += twoDigits(now.time().minute());
    serial += twoDigits(now.time().second());
    return serial;
}

QString SysPublicCls::DateTimeSNoStrTwo() const {
    const QDateTime now = m_clock.now();
    return twoDigits(now.date().year()) + twoDigits(now.date().month()) + twoDigits(now.date().day()) +
           twoDigits(now.time().hour()) + twoDigits(now.time().minute()) + twoDigits(now.time().second());
}

QString SysPublicCls::DateTime24StrTwo() const {
    const QDateTime now = m_clock.now();
    return twoDigits(now.date().year()) + QLatin1Char('-') + twoDigits(now.date().month()) + QLatin1Char('-') +
           twoDigits(now.date().day()) + QLatin1Char(' ') + now.time().toString(QStringLiteral("HH:mm:ss"));
}

QString SysPublicCls::DateTimeSNoStr() const {
    const QDateTime now = m_clock.now();
    QString s;
    for (int part : {now.date().year(), now.date().month(), now.date().day(), now.time().hour(), now.time().minute(),
                     now.time().second()})
        s += QString::number(part);
    return s;
}

QVariant SysPublicCls::AutoZmStr(const QVariant& Num) {
    m_random.reseed();
    const qint64 count = loopCount(Num);
    if (count < 1)
        return {};
    QString letters;
    letters.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const double r = static_cast<double>(m_random.next());
        letters += QChar(static_cast<char16_t>(u'A' + static_cast<int>(std::floor(r * 26.0))));
    }
    return letters;
}

qint32 SysPublicCls::AutoSzStr(const QVariant& Num) {
    m_random.reseed();
    if (isNull(Num))
        throw VbError(VbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    const double digits = VbConvert::roundHalfEven(VbConvert::toNumber(Num));
    if (digits < 0)
        throw VbError(VbError::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    // Ten nines no longer fit the 32-bit integer the digits are converted to.
    if (!(digits < 10)) // also not a number
        throw VbError(VbError::Overflow, QStringLiteral("Overflow"));
    const double nines = std::pow(10.0, digits) - 1.0;
    const double value = VbConvert::roundHalfEven(static_cast<double>(m_random.next()) * nines + 1.0);
    return static_cast<qint32>(value);
}

QVariant SysPublicCls::OneToTwoStr(const QVariant& Str) {
    if (isNull(Str))
        return Str;
    const QString s = text(Str);
    if (s.size() <= 1)
        return QString(QLatin1Char('0') + s);
    return Str;
}

QVariant SysPublicCls::BitValue(const QVariant& Str) {
    return IsBlank(Str) ? QVariant(0) : Str;
}

QVariant SysPublicCls::BitTrueValue(const QVariant& Str) {
    return IsBlank(Str) ? QVariant(1) : Str;
}

QVariant SysPublicCls::ClearNullValue(const QVariant& Str) {
    return IsBlank(Str) ? QVariant(QString()) : Str;
}

QVariant SysPublicCls::IsNumbStr(const QVariant& NumbStr) {
    return VbConvert::isNumberLike(NumbStr) ? NumbStr : QVariant(0);
}

QString SysPublicCls::PureData(const QVariant& Str) {
    if (IsBlank(Str))
        return {};
    QString s = text(Str);
    s.remove(QLatin1String("&nbsp;"));
    s.remove(QLatin1Char(' '));
    s.remove(QChar(0x3000));
    s.remove(QLatin1Char('\t'));
    s.remove(QLatin1Char('\n'));
    s.remove(QLatin1Char('\r'));
    // Whatever byte 255 stands for in the 8-bit code page (a private-use character in GBK).
    static const QString code255 = AnsiCodePage::decode(QByteArray(1, '\xff'));
    if (!code255.isEmpty())
        s.remove(code255);
    return s;
}

double SysPublicCls::CLngIP(const QVariant& Str) {
    const QString s = text(Str);
    QStringList pieces = s.split(QLatin1Char('.'));
    if (pieces.size() > 4) {
        const QString rest = pieces.mid(3).join(QLatin1Char('.'));
        pieces = pieces.mid(0, 3);
        pieces.append(rest);
    }
    if (pieces.size() < 4)
        throw VbError(VbError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    auto piece = [&](int i) {
        const auto number = VbConvert::parseNumber(pieces.at(i));
        if (!number)
            throw VbError(VbError::TypeMismatch, QStringLiteral("Type mismatch: ") + pieces.at(i));
        return *number;
    };
    return piece(0) * 16777216.0 + piece(1) * 65536.0 + piece(2) * 256.0 + VbConvert::leadingNumber(pieces.at(3));
}

QString SysPublicCls::CStrIP(const QVariant& CLngStr) {
    if (isNull(CLngStr))
        throw VbError(VbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    double n = VbConvert::toNumber(CLngStr);
    QStringList parts;
    for (int i = 3; i >= 0; --i) {
        const double weight = std::pow(256.0, i);
        const double part = std::floor(n / weight);
        n -= part * weight;
        parts.append(VbConvert::wholeNumberText(part));
    }
    return parts.join(QLatin1Char('.'));
}

QString SysPublicCls::NonceMonth(const QVariant& DataTimeStr) {
    const int month = VbConvert::toDateTime(DataTimeStr).date().month();
    if (month >= 3 && month <= 5)
        return QStringLiteral("春");
    if (month >= 6 && month <= 8)
        return QStringLiteral("夏");
    if (month >= 9 && month <= 11)
        return QStringLiteral("秋");
    return QStringLiteral("冬");
}

QVariant SysPublicCls::LetterOrNum(const QVariant& Str) {
    const QString s = text(Str);
    if (s.isEmpty())
        return {};
    for (QChar c : s) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
        if (!ok)
            return false;
    }
    return true;
}

QString SysPublicCls::DateTwain(const QVariant& DateAndTime, const QVariant& ShowYear, const QVariant& ShowMonth,
                                const QVariant& ShowDay, const QVariant& ShowTime) {
    const QDateTime when = VbConvert::toDateTime(DateAndTime);
    QString s;
    if (VbConvert::isSwitchOn(ShowYear))
        s += QString::number(when.date().year()) + QLatin1Char('-');
    if (VbConvert::isSwitchOn(ShowMonth))
        s += twoDigits(when.date().month()) + QLatin1Char('-');
    if (VbConvert::isSwitchOn(ShowDay))
        s += twoDigits(when.date().day());
    if (VbConvert::isSwitchOn(ShowTime))
        s += QStringLiteral("&nbsp;") + when.time().toString(QStringLiteral("HH:mm:ss"));
    return s;
}
