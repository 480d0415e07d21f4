#include "SysLoad.h"

#include "AppTitle.h"
#include "FailurePolicy.h"
#include "FileOperate.h"
#include "PlayerControl.h"
#include "Seams.h"
#include "SysPublicCls.h"
#include "TickInterval.h"
#include "TrayState.h"
#include "TrayTexts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

bool webHomeSigned(const TrayState& state) {
    return !SysPublicCls::IsBlank(state.ParentUser.Field[0]) && !SysPublicCls::IsBlank(state.ParentUser.Field[1]) &&
           !SysPublicCls::IsBlank(state.ActiveUserField3);
}

bool WriteTrayDefaultType(const QString& sysIni, const QString& playerType) {
    if (!QDir().mkpath(QFileInfo(sysIni).absolutePath()))
        return false;
    return FileOperate::WriteTextFile(sysIni, QStringLiteral("TrayDefaultType=") + playerType + QStringLiteral("\r\n"));
}

SysLoad::SysLoad(SysLoadDeps deps, QWidget* parent) : QWidget(parent), m_deps(std::move(deps)), m_mainWindow(this) {
    setObjectName(QStringLiteral("SysLoad"));
    setWindowTitle(kAppTitle);
    setWindowIcon(TrayIcon::iconFor(TrayIconState::Normal));
    m_goButton = new QPushButton(TrayTexts::kGoButton, this);
    m_goButton->setObjectName(QStringLiteral("GoVantobelSys"));

    // The icon and menu handlers are the event loop's: a failure ends the handler only.
    connect(m_goButton, &QPushButton::clicked, this,
            trapped(lcTray, "open the player", [this] { m_deps.player.OpenDefaultPlayer(); }));
    connect(&m_icon, &TrayIcon::openDefaultPlayerRequested, this,
            trapped(lcTray, "open the player", [this] { m_deps.player.OpenDefaultPlayer(); }));
    connect(&m_icon, &TrayIcon::menuRequested, this, trapped(lcTray, "show the menu", [this] { showMenu(); }));
    m_icon.setMenu(m_menu.menu());

    connect(m_menu.about(), &QAction::triggered, this, &SysLoad::aboutRequested);
    connect(m_menu.update(), &QAction::triggered, this,
            trapped(lcTray, "start the updater", [this] { m_deps.player.RunUpdate(); }));
    connect(m_menu.setting(), &QAction::triggered, this, &SysLoad::settingsRequested);
    connect(m_menu.playSetting(), &QAction::triggered, this,
            trapped(lcTray, "open the console", [this] { m_deps.player.PlaySettings(); }));
    connect(m_menu.playBaby(), &QAction::triggered, this,
            trapped(lcTray, "open the baby player", [this] { m_deps.player.PlayBaby(); }));
    connect(m_menu.playParent(), &QAction::triggered, this,
            trapped(lcTray, "open the parent player", [this] { m_deps.player.PlayParent(); }));
    connect(m_menu.message(), &QAction::triggered, this, &SysLoad::messageBoxRequested);
    connect(m_menu.webHome(), &QAction::triggered, this,
            trapped(lcTray, "open the home page", [this] { OpenWebHome(); }));
    connect(m_menu.close(), &QAction::triggered, this, trapped(lcTray, "ask to quit", [this] { ExitItem(); }));
    connect(
        &m_menu, &TrayMenu::siblingTriggered, this,
        trapped(lcTray, "open a sibling program", [this](const SiblingEntry& entry) { m_deps.siblings.start(entry); }));

    m_deps.player.setHideMainWindow([this] { hideMainWindow(); });

    // The desktop session ending is a close request too: remember the served player.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this] { CloseRequest(); });
        connect(app, &QCoreApplication::aboutToQuit, this,
                trapped(lcTray, "end the session", [this] { SessionEnded(); }));
    }
}

SysLoad::~SysLoad() = default;

void SysLoad::Load(const QList<SiblingEntry>& siblings) {
    m_mainWindow = this;
    resumeNext(lcTray, "apply the skin", [&] { ApplySkin(m_skin, this, m_deps.skinFolder); });
    resumeNext(lcTray, "show or hide the icon", [&] {
        if (m_deps.state.hidesTrayIcon())
            DeleteTrayIcon();
        else
            ShowAppIcoMain();
    });
    // Ten one-second ticks without a tray are worth a word on stderr.
    resumeNext(lcTray, "watch for a system tray",
               [&] { m_icon.watchForTray(10 * oneSecondTickMs(), std::max(oneSecondTickMs(), 100)); });
    resumeNext(lcTray, "start the connection watch", [&] {
        if (m_deps.startConnectionWatch)
            m_deps.startConnectionWatch();
    });
    resumeNext(lcTray, "size the host window", [&] {
        m_goButton->setGeometry(24, 16, 257, 65);
        resize(4650 / 15, 1575 / 15);
    });
    resumeNext(lcTray, "build the sibling programs menu", [&] { LoadSoftBrothersMenu(siblings); });
}

QString SysLoad::tooltipFor(TrayIconState state) {
    switch (state) {
    case TrayIconState::Unread:
        return TrayTexts::unreadTip();
    case TrayIconState::Offline:
        return TrayTexts::offlineTip();
    case TrayIconState::Normal:
        break;
    }
    return TrayTexts::normalTip();
}

void SysLoad::ShowAppIcoMain() {
    NotifyIconData iconData;
    iconData.icon = TrayIconState::Normal;
    iconData.setTip(TrayTexts::normalTip());
    m_icon.add(iconData);
}

void SysLoad::DeleteTrayIcon() {
    m_icon.remove();
}

void SysLoad::UpdSysIco(TrayIconState state, const QString& text) {
    NotifyIconData iconData;
    iconData.icon = state;
    iconData.setTip(text);
    m_icon.modify(iconData);
}

void SysLoad::LoadSoftBrothersMenu(const QList<SiblingEntry>& siblings) {
    m_menu.addSiblings(siblings);
}

void SysLoad::showMenu() {
    // The host takes the foreground first so that a click elsewhere closes the menu.
    activateWindow();
    m_menu.menu()->popup(QCursor::pos());
}

void SysLoad::hideMainWindow() {
    if (m_mainWindow)
        m_mainWindow->hide();
}

void SysLoad::ExitItem() {
    // The question waits in its own box; the tray goes on meanwhile.
    m_deps.prompt.show(TrayTexts::exitQuestion(), TrayTexts::kExitCaption, PromptIcon::Question, PromptButtons::YesNo,
                       [guard = QPointer<SysLoad>(this)](PromptAnswer answer) {
                           if (answer != PromptAnswer::Yes || guard.isNull())
                               return;
                           // A player that is not running is simply not told; it is not started for this.
                           guard->m_deps.player.SendToPlayer(QStringLiteral("/Exit"));
                           guard->QuitTray();
                       });
}

void SysLoad::OpenWindow(HostWindow window) {
    switch (window) {
    case HostWindow::MessageBox:
        Q_EMIT messageBoxRequested();
        break;
    case HostWindow::Settings:
        Q_EMIT settingsRequested();
        break;
    case HostWindow::About:
        Q_EMIT aboutRequested();
        break;
    case HostWindow::ExitQuestion:
        ExitItem();
        break;
    }
}

void SysLoad::OpenWebHome() {
    const QString address = m_deps.web.homeAddress ? m_deps.web.homeAddress() : QString();
    if (webHomeSigned(m_deps.state)) {
        if (m_deps.web.goWebLogin)
            m_deps.web.goWebLogin(address);
    } else if (m_deps.web.openUrl) {
        m_deps.web.openUrl(address);
    }
}

void SysLoad::CloseRequest() {
    resumeNext(lcTray, "write Sys.ini", [&] { WriteTrayDefaultType(m_deps.sysIni, m_deps.state.PlayerType); });
}

void SysLoad::QuitTray() {
    if (m_quitting)
        return;
    m_quitting = true;
    resumeNext(lcTray, "remove the icon", [&] { DeleteTrayIcon(); });
    resumeNext(lcTray, "close the menu", [&] { m_menu.menu()->close(); });
    // Every other window first, then the host itself, whose close request writes Sys.ini.
    resumeNext(lcTray, "close the other windows", [&] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (window != this && window->isVisible())
                window->close();
        }
    });
    resumeNext(lcTray, "close the host window", [&] { close(); });
    resumeNext(lcTray, "quit", [&] { m_deps.exit.exit(1); });
}

void SysLoad::closeEvent(QCloseEvent* event) {
    CloseRequest();
    event->accept();
    QuitTray();
}

void SysLoad::SessionEnded() {
    if (m_quitting)
        return;
    m_quitting = true;
    resumeNext(lcTray, "remove the icon", [&] { DeleteTrayIcon(); });
    CloseRequest();
}
