#include "SysPublicCls.h"

#include "VbError.h"

#include <QDate>
#include <QDateTime>

SysPublicCls::SysPublicCls(const Clock& clock, RandomSource& random) : m_clock(clock), m_random(random) {}

bool SysPublicCls::isNull(const QVariant& v) { return v.isValid() && v.isNull() && v.metaType().id() == QMetaType::Nullptr; }

bool SysPublicCls::isEmpty(const QVariant& v) { return !v.isValid(); }

bool SysPublicCls::isNumeric(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

QString SysPublicCls::text(const QVariant& v) {
    if (isEmpty(v))
        return {};
    if (isNull(v))
        throw VbError(VbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

bool SysPublicCls::IsBlank(const QVariant& Str) {
    if (isEmpty(Str) || isNull(Str))
        return true;
    if (isNumeric(Str) || Str.metaType().id() == QMetaType::Bool)
        return false;
    const QString s = Str.toString();
    for (QChar c : s) {
        if (c != QLatin1Char(' '))
            return false;
    }
    return true;
}
