#include "DesktopUrlOpener.h"

#include "SystemSeams.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopUrlOpener::openUrl(const QString& address) {
    // Addresses come from the network: only web pages may reach the browser.
    if (!isWebAddress(address))
        return false;
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}
