#pragma once

#include "HtmlView.h"

#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <functional>

class HistoryTable;
class Prompt;
class QLabel;
class QLineEdit;
class QPushButton;
class UrlOpener;

// The history's HTML view: fetches nothing, reads nothing from disk.
using HistoryBrowser = HtmlView;

struct MessageBoxDeps {
    HistoryTable& history;
    UrlOpener& urls;
    Prompt& prompt;
    // Run on every paint: the tray sets its icon back to the normal look.
    std::function<void()> onPaint;
    // Run once at load with this window: it becomes the main-window reference.
    std::function<void(QWidget*)> takeMainWindow;
};

// The paged history of every notice, twenty to a page, newest first. Deletes itself
// when closed.
class MessageBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPageSize = 20;

    explicit MessageBox(MessageBoxDeps deps, QWidget* parent = nullptr);

    // Renders the page named by n (1-based, as text or number); n <= 0 is page 1.
    void ShowPage(const QVariant& n);

    // The page as written; the view shows renderedPage() of it.
    QString pageHtml() const { return m_pageHtml; }
    // The same page in a form the text view draws as the markup means.
    static QString renderedPage(const QString& page);
    QString statusText() const;
    int shownPage() const { return m_shownPage; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void buildWidgets();
    void step(int delta);
    void jump();
    bool pageTextIsNumber();
    void onLinkClicked(const QUrl& link);

    MessageBoxDeps m_deps;
    QString m_pageHtml;
    QStringList m_pageUrls;
    int m_shownPage = 1;
    HistoryBrowser* m_browser = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_next = nullptr;
    QLineEdit* m_page = nullptr;
    QPushButton* m_jump = nullptr;
};
