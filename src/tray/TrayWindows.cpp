#include "TrayWindows.h"

#include "FailurePolicy.h"
#include "MessageBox.h"
#include "PlayerControl.h"
#include "PopNotice.h"
#include "SysLoad.h"
#include "SysSettings.h"
#include "sAbout.h"

#include <QTimer>

namespace {
void bringForward(QWidget* window) {
    window->showNormal();
    window->raise();
    window->activateWindow();
}
} // namespace

TrayWindows::TrayWindows(TrayWindowsDeps deps, QObject* parent) : QObject(parent), m_deps(std::move(deps)) {
    connect(&m_deps.host, &SysLoad::aboutRequested, this,
            trapped(lcTray, "open the about box", [this] { openAbout(); }));
    connect(&m_deps.host, &SysLoad::settingsRequested, this,
            trapped(lcTray, "open the settings", [this] { openSettings(); }));
    connect(&m_deps.host, &SysLoad::messageBoxRequested, this,
            trapped(lcTray, "open the message box", [this] { openMessageBox(); }));
}

TrayWindows::~TrayWindows() {
    // Windows still open when the program ends go with it.
    delete m_about.data();
    delete m_settings.data();
    delete m_messageBox.data();
}

void TrayWindows::track(QWidget* window) {
    ++m_openWindows;
    connect(window, &QObject::destroyed, this, [this] {
        --m_openWindows;
        // Once the window's deletion has finished; windows closing together are one check.
        if (m_closeCheckPending)
            return;
        m_closeCheckPending = true;
        QTimer::singleShot(0, this, [this] {
            m_closeCheckPending = false;
            if (m_openWindows == 0)
                Q_EMIT allWindowsClosed();
        });
    });
}

sAbout* TrayWindows::about() const {
    return m_about;
}
SysSettings* TrayWindows::settingsDialog() const {
    return m_settings;
}
MessageBox* TrayWindows::messageBox() const {
    return m_messageBox;
}

void TrayWindows::openAbout() {
    if (!m_about) {
        m_about = new sAbout(AboutDeps{m_deps.player.PlayerVersion(), m_deps.urls});
        track(m_about);
    }
    bringForward(m_about);
}

void TrayWindows::openSettings() {
    if (!m_settings) {
        m_settings = new SysSettings(SysSettingsDeps{m_deps.settings, m_deps.autoRun, m_deps.prompt});
        track(m_settings);
        // A new dialog must show what is stored: saving its designed defaults would
        // overwrite the user's choices and remove the autorun entry.
        m_settings->load();
    }
    bringForward(m_settings);
}

void TrayWindows::openMessageBox() {
    // The old box's end is no last close: its successor counts from here (building
    // it may run the event loop).
    ++m_openWindows;
    if (m_messageBox) {
        m_messageBox->close();
        delete m_messageBox.data();
    }
    SysLoad& host = m_deps.host;
    m_messageBox =
        new MessageBox(MessageBoxDeps{m_deps.history, m_deps.urls, m_deps.prompt, [&host] { host.UpdSysLoadIco(); },
                                      [&host](QWidget* window) { host.setMainWindow(window); }});
    track(m_messageBox);
    --m_openWindows;
    bringForward(m_messageBox);
}

void TrayWindows::showMessageBox() {
    if (m_messageBox)
        bringForward(m_messageBox);
    else
        openMessageBox();
}

PopNotice* TrayWindows::openNotice() {
    const std::optional<Notice> notice = m_deps.takeNotice ? m_deps.takeNotice() : std::nullopt;
    if (!notice)
        return nullptr;
    PopNoticeDeps deps{m_deps.settings,
                       m_deps.history,
                       m_deps.utils,
                       m_deps.urls,
                       m_deps.clock,
                       m_deps.pictures,
                       [this] { showMessageBox(); },
                       {}};
    auto* pop = new PopNotice(std::move(deps), *notice);
    track(pop);
    pop->show();
    return pop;
}
