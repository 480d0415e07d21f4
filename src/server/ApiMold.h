#pragma once

#include "ServiceHealth.h"

#include <QString>

class Settings;
class HttpGet;
class UrlOpener;
class Clock;
class Prompt;
class TrayState;

// The web API key text, the keyed digest, the signed sign-in address and the one
// way the program opens web addresses.
class ApiMold {
public:
    ApiMold(const Settings& settings, HttpGet& http, UrlOpener& opener, const Clock& clock, Prompt& prompt,
            const TrayState& state);

    // The key text, fetched once per run after the first good answer.
    QString WebApiData();
    // MD5(WebApiData() & value, 16).
    QString ApiMd5(const QString& value);
    // Opens http and https addresses in the browser; anything else is refused.
    void OpenUrl(const QString& address);
    // Builds and opens the signed address for target; "Err.参数错误！" when blank.
    void GoWebLogin(const QString& target);
    // The signed address itself (what GoWebLogin opens).
    QString SignedLoginAddress(const QString& target);

private:
    const Settings& m_settings;
    HttpGet& m_http;
    UrlOpener& m_opener;
    const Clock& m_clock;
    Prompt& m_prompt;
    const TrayState& m_state;
    QString m_apiDataCache;
    ServiceHealth m_health{QStringLiteral("key")};
};

// The sign-in check as both sides compute it from the key text, the user's name and
// secret (each through SafeRequest(…, 1, 0)) and the time text:
// MD5(K & MD5(K & U & MD5(P, 16), 16) & t, 16).
QString LoginCheckDigest(const QString& keyText, const QString& userName, const QString& secret, const QString& t);

// encodeURI followed by "/" -> "%2F", ":" -> "%3A", "+" -> "%2B".
QString UrlEncode(const QString& value);
