#include "PlayerControl.h"

#include "FailurePolicy.h"
#include "LinkProtocol.h"
#include "ProgramFolder.h"
#include "Seams.h"
#include "TrayState.h"

#include <QStringList>

namespace {
QString executable(const QString& name) {
#ifdef Q_OS_WIN
    return programPath(name + QLatin1String(".exe"));
#else
    return programPath(name);
#endif
}
} // namespace

PlayerControl::PlayerControl(TrayState& state, ProcessLauncher& launcher, PlayerLinkClient& link,
                             FileVersionReader& versions)
    : m_state(state), m_launcher(launcher), m_link(link), m_versions(versions) {}

QString PlayerControl::playerProgram() {
    return executable(QStringLiteral("VantobelPlay"));
}
QString PlayerControl::updaterProgram() {
    return executable(QStringLiteral("Update"));
}

QString PlayerControl::defaultPlayerCommand() const {
    const QString kind = m_state.PlayerType.toLower();
    if (kind == QLatin1String("babyplayer"))
        return QStringLiteral("/B|||") + m_state.BabyUser.joined();
    if (kind == QLatin1String("parentplayer"))
        return QStringLiteral("/U|||") + m_state.ParentUser.joined();
    return m_state.CommandLine;
}

void PlayerControl::OpenDefaultPlayer() {
    RunPlayer(defaultPlayerCommand());
}

void PlayerControl::RunPlayer(const QString& command) {
    if (execute(kPlayerTopic, command) != VbError::NoApplicationResponded)
        return;
    // Nobody listens on the player's topic: the player is not running, so start it
    // with the command; whether the start worked is not examined.
    resumeNext(lcLink, "start the player", [&] { m_launcher.startDetached(playerProgram(), {command}); });
    if (m_hideMainWindow)
        resumeNext(lcLink, "hide the host window", [&] { m_hideMainWindow(); });
}

void PlayerControl::PlayBaby() {
    RunPlayer(QStringLiteral("/B|||") + m_state.BabyUser.joined());
}
void PlayerControl::PlayParent() {
    RunPlayer(QStringLiteral("/U|||") + m_state.ParentUser.joined());
}
void PlayerControl::PlaySettings() {
    RunPlayer(QStringLiteral("/PLAYSETTINGS"));
}

int PlayerControl::execute(const QString& topic, const QString& command) {
    int result = 0;
    const int thrown = jumpToHandler(lcLink, "send a link command", [&] { result = m_link.execute(topic, command); });
    const int answer = thrown != 0 ? thrown : result;
    // The topic and the number only: a command carries the user's sign-in fields.
    if (answer != 0)
        qCDebug(lcLink).noquote() << "a command on" << topic << "was not taken: error" << answer;
    return answer;
}

QString PlayerControl::SendToPlayer(const QString& command) {
    const int result = execute(kPlayerTopic, command);
    return result == 0 ? QString() : QString::number(result);
}

int PlayerControl::ForwardToRunningTray(const QString& command) {
    return execute(kTrayTopic, command);
}

QString PlayerControl::versionText(const QString& fileVersion) {
    const QStringList parts = fileVersion.trimmed().split(QLatin1Char('.'));
    if (parts.size() < 4)
        return kUnknownVersion;
    return parts.at(0) + QLatin1Char('.') + parts.at(1) + QLatin1Char('.') + parts.at(3);
}

QString PlayerControl::PlayerVersion() const {
    QString fileVersion;
    resumeNext(lcLink, "read the player's version", [&] { fileVersion = m_versions.fileVersion(playerProgram()); });
    return versionText(fileVersion);
}

bool PlayerControl::RunUpdate() {
    bool started = false;
    resumeNext(lcLink, "start the updater", [&] {
        started = m_launcher.startDetached(updaterProgram(), {PlayerVersion() + QStringLiteral("|||ShowErr")});
    });
    return started;
}
