#pragma once

#include "HtmlView.h"
#include "PopMotion.h"
#include "PopRules.h"

#include <QHash>
#include <QImage>
#include <QRect>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class Clock;
class HistoryTable;
class NoticePictureSource;
struct Notice;
class QLabel;
class SettingsTable;
class SysPublicCls;
class UrlOpener;

// The notice's HTML view: shows only the picture the pop-up fetched itself.
using NoticeBrowser = HtmlView;

struct PopNoticeDeps {
    SettingsTable& settings;
    HistoryTable& history;
    SysPublicCls& utils;
    UrlOpener& urls;
    const Clock& clock;
    // Null: the picture is not fetched.
    NoticePictureSource* pictures = nullptr;
    // Shows the message box, or brings an open one forward ("历史消息").
    std::function<void()> showMessageBox;
    // The full primary screen in pixels; empty uses the real primary screen.
    std::function<QRect()> screenGeometry;
};

// The pop-up of one new notice: shows it, records it as unread, rises at the bottom
// right of the screen and sinks away after the time set for its kind. Deletes itself
// when closed.
class PopNotice : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidthTw = 4590;
    static constexpr int kClientHeightTw = 2790;

    PopNotice(PopNoticeDeps deps, const Notice& notice, QWidget* parent = nullptr);
    ~PopNotice() override;

    // The do-not-disturb and per-kind show checks; run after every activation.
    void activationCheck();
    // The 10 ms move tick and the one-second count tick.
    void moveTick();
    void countTick();

    QString noticeUrl() const { return m_noticeUrl; }
    QString noticeSNo() const { return m_noticeSNo; }
    QString noticeType() const { return m_noticeType; }
    QString pageHtml() const { return m_pageHtml; }
    QString titleText() const;
    int slideState() const { return m_motion.state(); }
    qint64 shownSeconds() const { return m_shownSeconds; }
    qint64 topTwips() const { return m_motion.topTw(); }
    qint64 screenHeightTwips() const;
    qint64 windowHeightTwips() const;
    bool isTopmost() const;
    const PopRules::PopSettings& popSettings() const { return m_popSettings; }
    int countIntervalMs() const { return m_countTimer.interval(); }
    // The move timer runs: the window is rising or sinking, not at rest.
    bool isMoving() const { return m_moveTimer.isActive(); }
    // The count timer runs: the window closes itself after a time.
    bool isCounting() const { return m_countTimer.isActive(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildWidgets();
    void load(const Notice& notice);
    void render();
    void record(const QString& safeTitle, const QString& brief);
    void openNotice();
    void onLinkClicked(const QUrl& link);
    void upNewReaded();
    void closeByCode();
    void startSlideOut(bool dropTopmost);
    void wakeMotion();
    QRect screenRect() const;
    QPoint framePlace() const;
    void applyPosition();

    PopNoticeDeps m_deps;
    PopMotion m_motion;
    PopRules::PopSettings m_popSettings;
    qint64 m_shownSeconds = 0;
    bool m_closingByCode = false;
    bool m_started = false;        // the load is over and the timers run
    std::optional<int> m_heldLeft; // where the user put it, from the screen's left
    QString m_noticeUrl;
    QString m_noticeSNo;
    QString m_noticeType;
    QString m_picture;
    QString m_brief;
    QString m_pageHtml;
    QTimer m_moveTimer;
    QTimer m_countTimer;
    QLabel* m_title = nullptr;
    QLabel* m_history = nullptr;
    QLabel* m_details = nullptr;
    NoticeBrowser* m_browser = nullptr;
};
