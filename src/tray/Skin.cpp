#include "Skin.h"

#include "FailurePolicy.h"
#include "FileOperate.h"
#include "ProgramFolder.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace {
// The name in a "/* [Name] */" line (blanks allowed around each part); null for any
// other line. Read by hand: the skin is read at start, where a regular expression
// would load its engine for nothing else.
QString sectionName(QStringView line) {
    const QStringView t = line.trimmed();
    if (t.size() < 4 || !t.startsWith(u"/*") || !t.endsWith(u"*/"))
        return {};
    const QStringView inner = t.mid(2, t.size() - 4).trimmed();
    if (inner.size() < 2 || inner.front() != u'[' || inner.back() != u']')
        return {};
    const QStringView name = inner.mid(1, inner.size() - 2);
    if (name.contains(u']'))
        return {};
    return name.isEmpty() ? QString(QLatin1String("")) : name.toString();
}
} // namespace

QString SkinEngine::selectScheme(const QString& qss, const QString& scheme) {
    QString common;
    QString chosen;
    QString current; // name of the section being read; null before the first marker
    bool inSection = false;
    QStringList lines = qss.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the text's final line break ends a line, it does not start one
    for (const QString& rawLine : lines) {
        const QString line = rawLine.endsWith(QLatin1Char('\r')) ? rawLine.chopped(1) : rawLine;
        if (const QString name = sectionName(line); !name.isNull()) {
            inSection = true;
            current = name.trimmed();
            continue;
        }
        if (!inSection)
            common += line + QLatin1Char('\n');
        else if (!scheme.trimmed().isEmpty() && current.compare(scheme.trimmed(), Qt::CaseInsensitive) == 0)
            chosen += line + QLatin1Char('\n');
    }
    return common + chosen;
}

bool SkinEngine::LoadSkin(const QString& path, const QString& scheme) {
    QFile file(path);
    // A folder (the bare skin folder when the choice file is missing) opens but is no skin.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    m_sheet = selectScheme(QString::fromUtf8(file.readAll()), scheme);
    m_loaded = true;
    if (m_options & kApplyToApplication)
        applyToApplication();
    return true;
}

void SkinEngine::ApplyWindow(QWidget* window) {
    if (window && m_loaded)
        window->setStyleSheet(m_sheet);
}

void SkinEngine::setApplyOptions(int options) {
    m_options = options;
    if (m_options & kApplyToApplication)
        applyToApplication();
}

void SkinEngine::applyToApplication() {
    // Only a widget application has an application-wide style sheet.
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()); app && m_loaded)
        app->setStyleSheet(m_sheet);
}

QString skinFolder() {
    return programPath(QStringLiteral("Skin/"));
}

SkinChoice readSkinChoice(const QString& folder) {
    SkinChoice choice;
    const QString lines = FileOperate::ReadTextLines(folder + QStringLiteral("DefaultSkin.ini"));
    choice.skinPath = folder + FileOperate::IniValue(lines, QStringLiteral("SkinFile"));
    choice.scheme = FileOperate::IniValue(lines, QStringLiteral("SkinIniFile"));
    return choice;
}

void ApplySkin(SkinEngine& engine, QWidget* window, const QString& folder) {
    SkinChoice choice;
    resumeNext(lcTray, "read the skin choice", [&] { choice = readSkinChoice(folder); });
    resumeNext(lcTray, "load the skin", [&] { engine.LoadSkin(choice.skinPath, choice.scheme); });
    resumeNext(lcTray, "skin the window", [&] { engine.ApplyWindow(window); });
    resumeNext(lcTray, "skin the application",
               [&] { engine.setApplyOptions(engine.ApplyOptions() | SkinEngine::kApplyToApplication); });
}
