#include "TrayMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace {
QAction* item(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}
} // namespace

TrayMenu::TrayMenu(QObject* parent) : QObject(parent), m_root(std::make_unique<QMenu>()) {
    m_root->setObjectName(QStringLiteral("mnuTray"));
    m_root->setTitle(QStringLiteral("Popup"));

    m_about = item(m_root.get(), "mnuTrayAbout", QStringLiteral("关于我们"));
    m_root->addSeparator()->setObjectName(QStringLiteral("mnuTrayLine"));
    m_update = item(m_root.get(), "mnuTrayUpdate", QStringLiteral("升级更新"));
    m_setting = item(m_root.get(), "mnuTraySetting", QStringLiteral("系统设置"));
    m_playSetting = item(m_root.get(), "mnuTrayPlaySetting", QStringLiteral("儿歌播放器控制台"));
    m_root->addSeparator()->setObjectName(QStringLiteral("mnuTrayLineBrightsprout"));

    m_brightsprout = m_root->addMenu(QStringLiteral("Brightsprout培养计划"));
    m_brightsprout->setObjectName(QStringLiteral("mnuTrayBrightsprout"));
    m_players = m_brightsprout->addMenu(QStringLiteral("Vantobel胎教/儿歌播放器"));
    m_players->setObjectName(QStringLiteral("mnuTrayBrightsproutList"));
    m_playBaby = item(m_players, "mnuTrayPlayBaby", QStringLiteral("Vantobel儿歌播放器"));
    m_playParent = item(m_players, "mnuTrayPlayParent", QStringLiteral("Vantobel胎教/育儿播放器"));

    m_root->addSeparator()->setObjectName(QStringLiteral("mnuTrayLine3"));
    m_message = item(m_root.get(), "mnuTrayMessage", QStringLiteral("消息盒"));
    m_webHome = item(m_root.get(), "mnuTrayWebHomeManage", QStringLiteral("家务中心 (URL)"));
    m_root->addSeparator()->setObjectName(QStringLiteral("mnuTrayLine2"));
    m_close = item(m_root.get(), "mnuTrayClose", QStringLiteral("退出(&E)"));
    m_close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_close->setShortcutVisibleInContextMenu(true);
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::addSiblings(const QList<SiblingEntry>& entries) {
    for (const SiblingEntry& entry : entries) {
        QAction* action = m_brightsprout->addAction(entry.caption);
        action->setObjectName(QStringLiteral("mnuTrayBrightsproutList_%1").arg(m_siblings.size() + 1));
        action->setData(entry.tag());
        action->setVisible(true);
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, [this, action] {
            Q_EMIT siblingTriggered(SiblingEntry::fromTag(action->text(), action->data().toString()));
        });
        m_siblings.append(action);
    }
}
