#include "TrayWindows.h"

#include "MessageBox.h"
#include "PlayerControl.h"
#include "PopNotice.h"
#include "SysLoad.h"
#include "SysSettings.h"
#include "sAbout.h"

namespace {
void bringForward(QWidget* window) {
    window->showNormal();
    window->raise();
    window->activateWindow();
}
} // namespace

TrayWindows::TrayWindows(TrayWindowsDeps deps, QObject* parent) : QObject(parent), m_deps(std::move(deps)) {
    connect(&m_deps.host, &SysLoad::aboutRequested, this, &TrayWindows::openAbout);
    connect(&m_deps.host, &SysLoad::settingsRequested, this, &TrayWindows::openSettings);
    connect(&m_deps.host, &SysLoad::messageBoxRequested, this, &TrayWindows::openMessageBox);
}

TrayWindows::~TrayWindows() {
    // Windows still open when the program ends go with it.
    delete m_about.data();
    delete m_settings.data();
    delete m_messageBox.data();
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
    if (!m_about)
        m_about = new sAbout(AboutDeps{m_deps.player.PlayerVersion(), m_deps.urls});
    bringForward(m_about);
}

void TrayWindows::openSettings() {
    if (!m_settings) {
        m_settings = new SysSettings(SysSettingsDeps{m_deps.settings, m_deps.autoRun, m_deps.prompt});
        // A new dialog must show what is stored: saving its designed defaults would
        // overwrite the user's choices and remove the autorun entry.
        m_settings->load();
    }
    bringForward(m_settings);
}

void TrayWindows::openMessageBox() {
    if (m_messageBox) {
        m_messageBox->close();
        delete m_messageBox.data();
    }
    SysLoad& host = m_deps.host;
    m_messageBox =
        new MessageBox(MessageBoxDeps{m_deps.history, m_deps.urls, m_deps.prompt, [&host] { host.UpdSysLoadIco(); },
                                      [&host](QWidget* window) { host.setMainWindow(window); }});
    bringForward(m_messageBox);
}

void TrayWindows::showMessageBox() {
    if (m_messageBox)
        bringForward(m_messageBox);
    else
        openMessageBox();
}

PopNotice* TrayWindows::openNotice() {
    std::unique_ptr<pugi::xml_document> notice = m_deps.takeNotice ? m_deps.takeNotice() : nullptr;
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
    auto* pop = new PopNotice(std::move(deps), std::move(notice));
    pop->show();
    return pop;
}
