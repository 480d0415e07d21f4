#pragma once

#include "SiblingPrograms.h"

#include <QList>
#include <QObject>
#include <memory>

class QAction;
class QMenu;

// The tray's pop-up menu. Each item is a QAction whose object name is the item's
// name (mnuTrayAbout, ...), so the host connects to them and tests find them.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    explicit TrayMenu(QObject* parent = nullptr);
    ~TrayMenu() override;

    QMenu* menu() const { return m_root.get(); }
    QMenu* brightsproutMenu() const { return m_brightsprout; }
    QMenu* playerMenu() const { return m_players; }

    QAction* about() const { return m_about; }
    QAction* update() const { return m_update; }
    QAction* setting() const { return m_setting; }
    QAction* playSetting() const { return m_playSetting; }
    QAction* playBaby() const { return m_playBaby; }
    QAction* playParent() const { return m_playParent; }
    QAction* message() const { return m_message; }
    QAction* webHome() const { return m_webHome; }
    QAction* close() const { return m_close; }

    // Appends one item per entry behind the player sub-menu, in order.
    void addSiblings(const QList<SiblingEntry>& entries);
    // The sibling items, in menu order (element 1 and up of the list).
    QList<QAction*> siblingActions() const { return m_siblings; }

Q_SIGNALS:
    void siblingTriggered(const SiblingEntry& entry);

private:
    std::unique_ptr<QMenu> m_root;
    QMenu* m_brightsprout = nullptr;
    QMenu* m_players = nullptr;
    QAction* m_about = nullptr;
    QAction* m_update = nullptr;
    QAction* m_setting = nullptr;
    QAction* m_playSetting = nullptr;
    QAction* m_playBaby = nullptr;
    QAction* m_playParent = nullptr;
    QAction* m_message = nullptr;
    QAction* m_webHome = nullptr;
    QAction* m_close = nullptr;
    QList<QAction*> m_siblings;
};
