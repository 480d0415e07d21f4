// Regular-expression replacement, link filtering and the pieces of addresses.
#include "SysPublicCls.h"

#include "VbError.h"
#include "VbRegExp.h"

#include <QRegularExpression>

QVariant SysPublicCls::regExReplace(const QVariant& sSource, const QVariant& patrn, const QVariant& replStr) {
    if (IsBlank(sSource) || IsBlank(patrn))
        return {};
    const QRegularExpression re = VbRegExp::compile(text(patrn));
    return VbRegExp::replaceAll(text(sSource), re, text(replStr));
}

QVariant SysPublicCls::RegExp_UrlAbsOurWeb(const QVariant& Str, const QVariant& WebUrl) {
    if (IsBlank(WebUrl))
        return Str;

    QVariant running = Str;
    static const char* const kActive[] = {"<script.*?>|</script>", "<form.*?>|</form>", "<input.*?>",
                                          "<!--webbot.*?>",        "<link.*?>",         "<iframe.*?>|</iframe>"};
    for (const char* pattern : kActive)
        running = regExReplace(running, QString::fromLatin1(pattern), QString());
    QString result = text(running);

    const QString site = text(WebUrl).toLower();
    static const QRegularExpression link = VbRegExp::compile(QStringLiteral("<a(.*?)href=(.*?)>(.*?)</a>"));
    // The matches are taken from the text before any link is rewritten; each rewrite
    // then applies to every copy of the matched text in the running result.
    const QString scanned = result;
    for (const VbRegExp::Match& m : VbRegExp::matchAll(scanned, link)) {
        const QString& whole = m.captures.at(0);
        const QString& before = m.captures.at(1);
        QString address = m.captures.at(2);
        const QString& caption = m.captures.at(3);
        address.remove(QLatin1Char('\''));
        address.remove(QLatin1Char('"'));
        if (address.toLower().contains(site)) {
            result.replace(whole, QStringLiteral("<a ") + before + QStringLiteral("href=") + address +
                                      QStringLiteral(" >") + caption + QStringLiteral("</a>"));
        } else {
            result.replace(whole, caption);
        }
        result += QLatin1String("\r\n");
    }
    return result;
}

bool SysPublicCls::IsUrl(const QVariant& strUrl) {
    static const QRegularExpression url =
        VbRegExp::compile(QStringLiteral("([\\w-]+\\.)+[\\w-]+(\\/[\\w- .\\/?%&=]*)?"));
    return VbRegExp::test(text(strUrl), url);
}

QString SysPublicCls::UrlHost(const QVariant& strUrl) {
    // Any failure gives the empty text.
    try {
        const QStringList pieces = text(strUrl).split(QLatin1Char('/'));
        return pieces.size() > 2 ? pieces.at(2) : QString();
    } catch (...) {
        return {};
    }
}

QVariant SysPublicCls::UrlStrValue(const QVariant& URL, const QVariant& ElementStr, const QVariant& SplitTag) {
    try {
        const QString address = text(URL).toLower();
        const QString name = text(ElementStr).toLower() + QLatin1Char('=');
        const QString separator = text(SplitTag).toLower();
        const QStringList halves = address.split(QLatin1Char('?'));
        if (halves.size() != 2)
            return {};
        // An empty separator leaves the query whole, as the runtime's Split does.
        const QStringList pieces =
            separator.isEmpty() ? QStringList{halves.at(1)} : halves.at(1).split(separator, Qt::KeepEmptyParts);
        for (const QString& piece : pieces) {
            if (piece.contains(name, Qt::CaseSensitive)) {
                QString value = piece;
                value.remove(name, Qt::CaseInsensitive);
                return value;
            }
        }
        return QString();
    } catch (...) {
        return {};
    }
}

bool SysPublicCls::IsSelfWeb(const QVariant& FromUrl, const QVariant& ServUrl, const QVariant& HttpType) {
    const QString kind = text(HttpType).toUpper();
    qsizetype start = 0;
    if (kind == QLatin1String("HTTP"))
        start = 7;
    else if (kind == QLatin1String("HTTPS"))
        start = 8;
    else
        throw VbError(VbError::InvalidArgument, QStringLiteral("Invalid procedure call or argument: ") + kind);
    const QString server = text(ServUrl);
    // A null address compares as unknown, which tests as false.
    if (isNull(FromUrl))
        return false;
    return text(FromUrl).mid(start, server.size()) == server;
}
