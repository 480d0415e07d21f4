#include "WebAddress.h"

#include <QUrl>

namespace {

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Qt re-escapes every "%" of an address once one of them is stray; escaping only the
// stray ones keeps the address's own escapes as they were.
QString escapeStrayPercents(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text.at(i);
        if (text.at(i) == u'%' && !(i + 2 < text.size() && isHexDigit(text.at(i + 1)) && isHexDigit(text.at(i + 2))))
            out += QStringLiteral("25");
    }
    return out;
}

} // namespace

QString webAddress(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QUrl url(escapeStrayPercents(trimmed), QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {};
    return url.toString(QUrl::FullyEncoded);
}

bool isWebAddress(const QString& address) {
    return !webAddress(address).isEmpty();
}

QString markupAddress(const QString& address) {
    const QString web = webAddress(address);
    return (web.isEmpty() ? address : web).toHtmlEscaped();
}
