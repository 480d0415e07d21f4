#include "XdgAutoRun.h"

#include "FileOperate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString autostartFolder() {
    // Relative values of XDG_CONFIG_HOME are invalid and must be ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

// A desktop-entry string value: backslash, line breaks and tabs escaped.
QString desktopString(const QString& text) {
    QString value;
    value.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            value += QStringLiteral("\\\\");
            break;
        case '\n':
            value += QStringLiteral("\\n");
            break;
        case '\r':
            value += QStringLiteral("\\r");
            break;
        case '\t':
            value += QStringLiteral("\\t");
            break;
        default:
            value += c;
        }
    }
    return value;
}

// One argument of an Exec key: always quoted, with the characters that stay special
// inside quotes escaped, "%" doubled so it is not a field code, and the result
// escaped once more as a desktop-entry string value.
QString quoteExecArgument(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return desktopString(quoted);
}

} // namespace

XdgAutoRun::XdgAutoRun(QString trayExecutable) : m_trayExecutable(std::move(trayExecutable)) {}

QString XdgAutoRun::entryPath() const {
    return autostartFolder() + QStringLiteral("/VantobelPlay.desktop");
}

QString XdgAutoRun::entryContents() const {
    const QString program =
        m_trayExecutable.isEmpty() ? m_trayExecutable : QFileInfo(m_trayExecutable).absoluteFilePath();
    // The same name, comment and icon as the installed menu entry.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=VantobelPlayTray\n"
                          "Name[zh_CN]=Brightsprout培养助手\n"
                          "Comment=Notices and quick starts for the VantobelPlay media player\n"
                          "Comment[zh_CN]=VantobelPlay 播放器的通知与快捷启动\n"
                          "Icon=vantobel-play-tray\n"
                          "TryExec=") +
           // The session skips the entry once the program is gone (removed with its package).
           desktopString(program) + QStringLiteral("\nExec=") + quoteExecArgument(program) +
           QStringLiteral(" /TRAY\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n");
}

bool XdgAutoRun::IsAutoRunSet() const {
    // Any entry of that name counts, whatever it holds.
    return QFileInfo::exists(entryPath());
}

bool XdgAutoRun::SetAutoRun() {
    if (m_trayExecutable.isEmpty())
        return false;
    if (!QDir().mkpath(autostartFolder()))
        return false;
    FileOperate::WholeFileWriter file(entryPath());
    return file.open() && file.write(entryContents().toUtf8()) && file.commit();
}

bool XdgAutoRun::RemoveAutoRun() {
    const QString path = entryPath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QFile::remove(path);
    const QFileInfo after(path);
    return !after.exists() && !after.isSymLink();
}
