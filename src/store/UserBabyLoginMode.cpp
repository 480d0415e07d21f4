#include "UserBabyLoginMode.h"

#include "ProgramFolder.h"
#include "SysPublicCls.h"
#include "TrayState.h"

UserBabyLoginMode::UserBabyLoginMode(const TrayState& state) : m_state(state) {}

QString UserBabyLoginMode::UserFolder() const {
    const QString name =
        m_state.CurrentUserKind() == QLatin1String("user") ? m_state.ParentUser.Field[1] : m_state.BabyUser.Field[0];
    const QString folder = SysPublicCls::IsBlank(name) ? QStringLiteral("guest") : folderNameFor(name);
    return writableRoot() + QLatin1String("/Users/") + folder + QLatin1Char('/');
}

QString UserBabyLoginMode::ParentUserRecord() const {
    return m_state.ParentUser.joined();
}

QString UserBabyLoginMode::BabyUserRecord() const {
    return m_state.BabyUser.joined();
}

namespace {

void appendEscaped(QString& out, QChar c) {
    out += QLatin1Char('%') + QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString UserBabyLoginMode::folderNameFor(const QString& userName) {
    // The name comes from the player's command line, so it must not be able to
    // point the database anywhere but its own folder below Users/. "%" is escaped
    // as well so that the encoding can be undone and no two names share a folder.
    if (userName == QLatin1String("."))
        return QStringLiteral("%2E");
    if (userName == QLatin1String(".."))
        return QStringLiteral("%2E%2E");
    QString out;
    out.reserve(userName.size());
    for (const QChar c : userName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QChar(0) || c == QLatin1Char('%'))
            appendEscaped(out, c);
        else
            out += c;
    }
    // "All Users" holds the template and Sys.ini; a user of that name would write
    // into the template. Compared without case for file systems that ignore it.
    if (out.compare(QLatin1String("All Users"), Qt::CaseInsensitive) == 0)
        out.replace(QLatin1Char(' '), QLatin1String("%20"));
    return out;
}
