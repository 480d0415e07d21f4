#include "SiblingPrograms.h"

#include "AppTitle.h"
#include "FailurePolicy.h"
#include "Seams.h"
#include "SysPublicCls.h"
#include "TrayState.h"
#include "TrayTexts.h"

#include <QFileInfo>

namespace {
const QString kTagSep = QStringLiteral("@@@@@");
const QString kSep = QStringLiteral("|||");
} // namespace

QString SiblingEntry::tag() const {
    return QStringList{section, first, last, url}.join(kTagSep);
}

SiblingEntry SiblingEntry::fromTag(const QString& caption, const QString& tag) {
    const QStringList parts = tag.split(kTagSep);
    return SiblingEntry{caption, parts.value(0), parts.value(1), parts.value(2), parts.value(3)};
}

QString siblingParameters(const TrayState& state, const SiblingEntry& entry) {
    const QString kind = state.PlayerType.toLower();
    if (kind == QLatin1String("babyplayer"))
        return entry.first + kSep + state.BabyUser.joined() + kSep + entry.last;
    if (kind == QLatin1String("parentplayer"))
        return entry.first + kSep + state.ParentUser.joined() + kSep + entry.last;
    return entry.first + kSep + entry.last;
}

SiblingLauncher::SiblingLauncher(const TrayState& state, const InstPathStore& instPaths, ProcessLauncher& launcher,
                                 Prompt& prompt, UrlOpen openUrl)
    : m_state(state), m_instPaths(instPaths), m_launcher(launcher), m_prompt(prompt), m_openUrl(std::move(openUrl)) {}

bool SiblingLauncher::start(const SiblingEntry& entry) {
    QString path;
    resumeNext(lcTray, "read a sibling program's path", [&] { path = m_instPaths.instPath(entry.section); });
    bool started = false;
    resumeNext(lcTray, "start a sibling program", [&] {
        // A blank path would start nothing sensible (or whatever "" resolves to);
        // treat it like a missing program instead of trying.
        if (!SysPublicCls::IsBlank(path) && QFileInfo(path).isFile())
            started = m_launcher.startDetached(path, {siblingParameters(m_state, entry)});
    });
    if (started)
        return true;
    resumeNext(lcTray, "say a sibling program is missing",
               [&] { m_prompt.show(TrayTexts::kNotInstalled, kAppTitle, PromptIcon::Information); });
    resumeNext(lcTray, "open a sibling program's page", [&] {
        if (!SysPublicCls::IsBlank(entry.url))
            m_openUrl(entry.url);
    });
    return false;
}
