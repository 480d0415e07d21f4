#include "Log.h"
#include "FailurePolicy.h"

#include <exception>

Q_LOGGING_CATEGORY(lcTray, "vantobel.tray", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLink, "vantobel.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "vantobel.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStore, "vantobel.store", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPopup, "vantobel.popup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWindow, "vantobel.window", QtWarningMsg)

void noteFailure(const QLoggingCategory& category, const char* step) noexcept {
    if (!category.isDebugEnabled())
        return;
    try {
        QString cause = QStringLiteral("an unknown failure");
        try {
            if (const std::exception_ptr current = std::current_exception())
                std::rethrow_exception(current);
        } catch (const VbError& e) {
            const QString text = QString::fromUtf8(e.what());
            cause = text.startsWith(QLatin1String("error ")) ? text
                                                             : QStringLiteral("error %1: %2").arg(e.number()).arg(text);
        } catch (const std::exception& e) {
            cause = QString::fromUtf8(e.what());
        } catch (...) {
        }
        qCDebug(category).noquote() << step << "failed:" << cause;
    } catch (...) {
        // Logging itself failed (out of memory): the step stays swallowed.
    }
}
