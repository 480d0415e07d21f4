#include "SysPublicCls.h"

#include "VbConvert.h"
#include "VbError.h"
#include "VbRegExp.h"

#include <QDate>
#include <QDateTime>
#include <initializer_list>

SysPublicCls::SysPublicCls(const Clock& clock, RandomSource& random) : m_clock(clock), m_random(random) {}

bool SysPublicCls::isNull(const QVariant& v) {
    return v.isValid() && v.isNull() && v.metaType().id() == QMetaType::Nullptr;
}

bool SysPublicCls::isEmpty(const QVariant& v) {
    return !v.isValid();
}

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

namespace {

// Every occurrence of each word, case-insensitive, replaced by the word as listed
// followed by "_", in list order on the running text.
void suffixWords(QString& s, std::initializer_list<const char16_t*> words) {
    for (const char16_t* w : words) {
        const QString word = QString::fromUtf16(w);
        s.replace(word, word + QLatin1Char('_'), Qt::CaseInsensitive);
    }
}

} // namespace

QString SysPublicCls::SafeRequest(const QVariant& Str, const QVariant& LeachHtml, const QVariant& LeachSql) {
    // Only the plain space is trimmed, as the runtime's Trim does.
    QString s = text(Str);
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    s = s.mid(b, e - b);

    if (VbConvert::isSwitchOn(LeachHtml)) {
        s.replace(QLatin1Char('<'), QChar(0xFF1C));
        s.replace(QLatin1Char('>'), QChar(0xFF1E));
        s.replace(QLatin1Char('='), QChar(0xFF1D));
    }
    s.replace(QLatin1Char('\''), QChar(0x2018));
    s.replace(QLatin1Char('"'), QChar(0x201D));
    s.replace(QLatin1Char(';'), QChar(0xFF1B));
    s.replace(QLatin1Char('%'), QChar(0xFF05));
    s.replace(QLatin1Char('*'), QChar(0xFF0A));
    s.replace(QLatin1String("--"), QString(QChar(0xFF0D)));
    s.replace(QLatin1String("@@"), QString(2, QChar(0xFF20)));
    if (VbConvert::isSwitchOn(LeachSql)) {
        suffixWords(s, {u"sysobjects", u"kill", u"drop", u"create", u"cursor", u"execute", u"and", u"exec", u"insert",
                        u"select", u"delete", u"update", u"count", u"chr", u"mid", u"master", u"truncate", u"char",
                        u"declare"});
    }
    return s;
}

QString SysPublicCls::ScriptSafe(const QVariant& Str, const QVariant& HightLeach) {
    QString s = text(Str);
    if (VbConvert::isSwitchOn(HightLeach))
        suffixWords(s, {u"language", u"C#", u"cs", u"csharp", u"visualbasic", u"vb"});
    suffixWords(s, {u"script", u"javascript", u"js", u"jscript", u"vbs", u"vbscript", u"runat", u"object"});
    return s;
}

QString SysPublicCls::LeachHtml(const QVariant& strHTML) {
    if (IsBlank(strHTML))
        return {};
    const QString source = text(strHTML);
    static const QRegularExpression tag = VbRegExp::compile(QStringLiteral("<.+?>"));
    QString result = source;
    for (const VbRegExp::Match& m : VbRegExp::matchAll(source, tag))
        result.remove(m.captures.at(0), Qt::CaseSensitive);
    return result;
}

QString SysPublicCls::HtmlSelfEnCode(const QVariant& TempContent) {
    QString s = text(TempContent);
    s.replace(QLatin1Char('\r'), QLatin1String("<BR>"));
    return s;
}

QString SysPublicCls::ClearHttps(const QVariant& value) {
    QString s = text(value);
    s.replace(QLatin1String("https://"), QLatin1String("http://"), Qt::CaseInsensitive);
    return s;
}
