#include "ApiMold.h"

#include "AppTitle.h"
#include "HttpGet.h"
#include "Md5Mold.h"
#include "Seams.h"
#include "Settings.h"
#include "SysPublicCls.h"
#include "TrayState.h"
#include "WebAddress.h"

#include <QCoreApplication>
#include <QUrl>

ApiMold::ApiMold(const Settings& settings, HttpGet& http, UrlOpener& opener, const Clock& clock, Prompt& prompt,
                 const TrayState& state)
    : m_settings(settings), m_http(http), m_opener(opener), m_clock(clock), m_prompt(prompt), m_state(state) {}

QString ApiMold::WebApiData() {
    QCoreApplication::processEvents();
    if (!SysPublicCls::IsBlank(m_apiDataCache))
        return m_apiDataCache;

    const QString address = m_settings.SettingValue(QStringLiteral("url"), QStringLiteral("/Root/Server/WebApi"));
    // The request has no body, so no Content-Length goes out (an empty one is not valid HTTP).
    const HttpResult answer = m_http.get(
        address, {{QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/x-www-form-urlencoded")}});
    QCoreApplication::processEvents();
    if (!answer.ok()) {
        m_health.failed(address, ServiceHealth::causeOf(answer));
        return {};
    }

    const QStringList fields = answer.text().split(QStringLiteral("|||"), Qt::KeepEmptyParts, Qt::CaseSensitive);
    // A wrong field count stores an empty text, so the next call asks again.
    m_apiDataCache = fields.size() == 3 ? fields.at(1) + fields.at(2) : QString();
    if (fields.size() == 3)
        m_health.answered();
    else
        m_health.failed(address, QStringLiteral("an answer without three fields"));
    return m_apiDataCache;
}

QString ApiMold::ApiMd5(const QString& value) {
    return MD5(WebApiData() + value, 16);
}

void ApiMold::OpenUrl(const QString& address) {
    // Only web pages reach the browser; a local path or script address does nothing.
    const QString web = webAddress(address);
    if (!web.isEmpty())
        m_opener.openUrl(web);
}

QString ApiMold::SignedLoginAddress(const QString& target) {
    // One time text: digested and sent, so the server can repeat the digest.
    const QString t = m_clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString userName = m_state.ParentUser.Field[1];
    // One key text for both keyed digests: two fetches could disagree when the first fails.
    const QString check = LoginCheckDigest(WebApiData(), userName, m_state.ActiveUserField3, t);

    const QString base =
        m_settings.SettingValue(QStringLiteral("url"), QStringLiteral("/Root/Server/InterfaceUserServer"));
    // The name is percent-encoded so that "&", "#", "+" or "%" in it cannot break the address.
    return base + QStringLiteral("/interface/get.asp?Stup=SoftLoginWeb&v=2&UserName=") +
           QString::fromLatin1(QUrl::toPercentEncoding(userName)) + QStringLiteral("&Md5Check=") + check +
           QStringLiteral("&t=") + UrlEncode(t) + QStringLiteral("&GoUrlStr=") + UrlEncode(target);
}

QString LoginCheckDigest(const QString& keyText, const QString& userName, const QString& secret, const QString& t) {
    const QString u = SysPublicCls::SafeRequest(userName, 1, 0);
    const QString p = SysPublicCls::SafeRequest(secret, 1, 0);
    const QString m2 = MD5(keyText + u + MD5(p, 16), 16);
    return MD5(keyText + m2 + t, 16);
}

void ApiMold::GoWebLogin(const QString& target) {
    if (SysPublicCls::IsBlank(target)) {
        m_prompt.show(QStringLiteral("Err.参数错误！"), kAppTitle, PromptIcon::Information);
        return;
    }
    OpenUrl(SignedLoginAddress(target));
}

namespace {

bool keptByEncodeUri(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return c < 0x80 && QByteArrayView(";,/?:@&=+$-_.!~*'()#").contains(static_cast<char>(c));
}

// The standard encodeURI: UTF-8 percent-escapes (upper-case digits) for everything
// else. A lone surrogate cannot be encoded; the whole result is then empty.
QString encodeUri(const QString& value) {
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(value.size() * 3);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (keptByEncodeUri(c.unicode())) {
            out.append(c);
            continue;
        }
        qsizetype len = 1;
        if (c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate())
            len = 2;
        else if (c.isSurrogate())
            return {};
        const QByteArray utf8 = value.mid(i, len).toUtf8();
        i += len - 1;
        for (const char byte : utf8) {
            const auto b = static_cast<unsigned char>(byte);
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(digits[b >> 4]));
            out.append(QLatin1Char(digits[b & 0xf]));
        }
    }
    return out;
}

} // namespace

QString UrlEncode(const QString& value) {
    QString out = encodeUri(value);
    out.replace(QLatin1Char('/'), QStringLiteral("%2F"));
    out.replace(QLatin1Char(':'), QStringLiteral("%3A"));
    out.replace(QLatin1Char('+'), QStringLiteral("%2B"));
    return out;
}
