#include "DesktopUrlOpener.h"

#include "WebAddress.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopUrlOpener::openUrl(const QString& address) {
    // Addresses come from the network: only web pages may reach the browser.
    const QUrl url(webAddress(address), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}
