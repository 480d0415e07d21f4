#pragma once

#include <QList>
#include <QString>
#include <functional>

class InstPathStore;
class ProcessLauncher;
class Prompt;
class TrayState;

// One sibling program offered in the Brightsprout sub-menu, from one
// "/Root/SoftBrothers/SoftList" node of the server configuration.
struct SiblingEntry {
    QString caption;
    QString section; // "t": the program's section in the maker's settings store
    QString first;   // "v": first parameter handed to it
    QString last;    // "k": last parameter handed to it
    QString url;     // its download page

    // t, v, k and url joined by "@@@@@", as the menu item's tag carries them.
    QString tag() const;
    static SiblingEntry fromTag(const QString& caption, const QString& tag);
};

// The parameters for a sibling program: v and k around the served user's record,
// or just v and k when the tray serves no player.
QString siblingParameters(const TrayState& state, const SiblingEntry& entry);

// Starts sibling programs. A program counts as not installed when its recorded
// path is blank, does not exist, or does not start; the user is then told so and
// sent to its download page.
class SiblingLauncher {
public:
    using UrlOpen = std::function<void(const QString& address)>;

    SiblingLauncher(const TrayState& state, const InstPathStore& instPaths, ProcessLauncher& launcher, Prompt& prompt,
                    UrlOpen openUrl);

    // True when the program was started.
    bool start(const SiblingEntry& entry);

private:
    const TrayState& m_state;
    const InstPathStore& m_instPaths;
    ProcessLauncher& m_launcher;
    Prompt& m_prompt;
    UrlOpen m_openUrl;
};
