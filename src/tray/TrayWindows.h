#pragma once

#include "Notice.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class QWidget;

class AutoRunStore;
class Clock;
class HistoryTable;
class MessageBox;
class NoticePictureSource;
class PlayerControl;
class PopNotice;
class Prompt;
class SettingsTable;
class SysLoad;
class SysPublicCls;
class UrlOpener;
class sAbout;
class SysSettings;

// What the windows are built from.
struct TrayWindowsDeps {
    SysLoad& host;
    PlayerControl& player;
    SettingsTable& settings;
    HistoryTable& history;
    AutoRunStore& autoRun;
    SysPublicCls& utils;
    UrlOpener& urls;
    Prompt& prompt;
    const Clock& clock;
    NoticePictureSource* pictures = nullptr;
    // Takes the newest notice for a pop-up (none when there is none).
    std::function<std::optional<Notice>()> takeNotice;
};

// Opens the tray's windows: at most one about box, settings dialog and message
// box at a time, and one pop-up per new notice. Every window deletes itself when closed.
class TrayWindows : public QObject {
    Q_OBJECT
public:
    explicit TrayWindows(TrayWindowsDeps deps, QObject* parent = nullptr);
    ~TrayWindows() override;

    void openAbout();
    void openSettings();
    // Always a freshly loaded message box, restored: an open one is closed first.
    void openMessageBox();
    // The pop-up's history link: brings an open message box forward, else opens one.
    void showMessageBox();
    // A new pop-up for the notice the last poll found; nothing when there is none.
    PopNotice* openNotice();

    sAbout* about() const;
    SysSettings* settingsDialog() const;
    MessageBox* messageBox() const;

Q_SIGNALS:
    // Every window opened here is gone again (checked once the closing has settled).
    void allWindowsClosed();

private:
    // Counts the window until it is destroyed.
    void track(QWidget* window);

    TrayWindowsDeps m_deps;
    QPointer<sAbout> m_about;
    QPointer<SysSettings> m_settings;
    QPointer<MessageBox> m_messageBox;
    int m_openWindows = 0;
    bool m_closeCheckPending = false;
};
