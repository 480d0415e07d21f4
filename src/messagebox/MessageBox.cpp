#include "MessageBox.h"

#include "BodyMarkup.h"
#include "FailurePolicy.h"
#include "HistoryMarkup.h"
#include "HistoryTable.h"
#include "Seams.h"
#include "WebAddress.h"
#include "WindowFit.h"
#include "WindowMetrics.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

using WindowMetrics::songTi;
using WindowMetrics::twips;

MessageBox::MessageBox(MessageBoxDeps deps, QWidget* parent) : QWidget(parent, Qt::Window), m_deps(std::move(deps)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("我的消息盒子"));
    setFont(songTi());
    buildWidgets();
    resumeNext(lcWindow, "hand the message box to the host", [this] {
        if (m_deps.takeMainWindow)
            m_deps.takeMainWindow(this);
    });
    ShowPage(QStringLiteral("0"));
}

void MessageBox::buildWidgets() {
    WindowMetrics::fixCentred(this, 10215, 7440);

    auto* listFrame = new QWidget(this);
    listFrame->setObjectName(QStringLiteral("FrameMessageSoft"));
    listFrame->setGeometry(twips(0, 0, 10335, 7335));
    auto* browserBox = new QWidget(listFrame);
    browserBox->setObjectName(QStringLiteral("PictureNewListWebBrowser"));
    browserBox->setGeometry(twips(0, 0, 10215, 6735));
    m_browser = new HistoryBrowser(browserBox);
    m_browser->setObjectName(QStringLiteral("NewListWebBrowser"));
    m_browser->setFrameShape(QFrame::NoFrame);
    m_browser->setGeometry(browserBox->rect());
    m_browser->setAccessibleName(QStringLiteral("消息列表"));
    connect(m_browser, &QTextBrowser::anchorClicked, this, &MessageBox::onLinkClicked);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("FramePageGo"));
    bar->setGeometry(twips(0, 6720, 10455, 600));
    m_status = new QLabel(QStringLiteral("数据加载...."), bar);
    m_status->setObjectName(QStringLiteral("Label5"));
    m_status->setGeometry(twips(120, 240, 4935, 285));
    m_up = new QPushButton(QStringLiteral("上一页"), bar);
    m_up->setObjectName(QStringLiteral("up_page"));
    m_up->setGeometry(twips(5400, 175, 975, 300));
    m_next = new QPushButton(QStringLiteral("下一页"), bar);
    m_next->setObjectName(QStringLiteral("next_page"));
    m_next->setGeometry(twips(6480, 175, 975, 300));
    auto* jumpLabel = new QLabel(QStringLiteral("跳转到："), bar);
    jumpLabel->setObjectName(QStringLiteral("Label6"));
    jumpLabel->setGeometry(twips(7560, 240, 735, 180));
    m_page = new QLineEdit(QStringLiteral("1"), bar);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setGeometry(twips(8400, 175, 735, 270));
    m_page->setAccessibleName(QStringLiteral("跳转到的页码"));
    m_jump = new QPushButton(QStringLiteral("跳转"), bar);
    m_jump->setObjectName(QStringLiteral("jump_page"));
    m_jump->setGeometry(twips(9240, 175, 735, 300));

    // Enter presses a paging button that has the focus, as Space does.
    for (QPushButton* button : {m_up, m_next, m_jump})
        button->setAutoDefault(true);
    connect(m_up, &QPushButton::clicked, this, [this] { step(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { step(+1); });
    connect(m_jump, &QPushButton::clicked, this, &MessageBox::jump);
    connect(m_page, &QLineEdit::returnPressed, this, &MessageBox::jump);
    WindowFit::keepFitted(this);
}

void MessageBox::ShowPage(const QVariant& n) {
    resumeNext(lcWindow, "show a history page", [&] {
        bool numeric = false;
        const qint64 index = HistoryMarkup::PageIndex(n.toString(), &numeric);
        qint64 shown = 1;
        if (index <= 0) {
            m_up->setEnabled(false);
        } else {
            m_up->setEnabled(true);
            shown = index + 1;
        }
        m_shownPage = int(qMin<qint64>(shown, std::numeric_limits<int>::max()));
        m_status->setText(QStringLiteral("每页：") + QString::number(kPageSize) + QStringLiteral("条 | ") +
                          QStringLiteral("当前位于第：") + QString::number(shown) + QStringLiteral("页"));

        QList<HistoryRow> rows;
        resumeNext(lcWindow, "read a history page",
                   [&] { rows = m_deps.history.Page(qMax<qint64>(0, index) * kPageSize, kPageSize); });
        m_pageUrls.clear();
        for (const HistoryRow& row : rows)
            m_pageUrls.append(row.UrlStr);
        // A head-only tag in a stored brief or kind would hide every entry after it.
        m_pageHtml = HistoryMarkup::PageDocument(BodyMarkup::withoutHeadTags(HistoryMarkup::EntryList(rows)));
        m_browser->setHtml(renderedPage(m_pageHtml));
        WindowFit::growToFit(this);
    });
}

QString MessageBox::renderedPage(const QString& page) {
    // The text view draws no borders or backgrounds of nested divisions, nor floats.
    // Each entry becomes a table with the same look: the band as the table's
    // background, title and kind in one row with the rule as the cells' bottom
    // border, the brief in the row below.
    const QString entry = QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\" "
                                         "style=\"margin-top:2px;\" bgcolor=\"#%1\">");
    const QString rule = QStringLiteral("border-bottom:1px solid #8EC3EB;");
    const QList<QPair<QString, QString>> pieces = {
        {QStringLiteral("<div class=\"msgdl\">"), entry.arg(QStringLiteral("F5F8FA"))},
        {QStringLiteral("<div class=\"msgdw\">"), entry.arg(QStringLiteral("FFFFFF"))},
        {QStringLiteral("       <div class=\"dtitle\"><a "),
         QStringLiteral("<tr><td height=\"25\" valign=\"middle\" style=\"padding:2px 0px 0px 20px;") + rule +
             QStringLiteral("\"><a ")},
        {QStringLiteral("</a><span style=\"float:right;color:#666\">"),
         QStringLiteral("</a></td><td align=\"right\" valign=\"middle\" style=\"padding:2px 20px 0px 0px;") + rule +
             QStringLiteral("\"><span style=\"color:#666\">")},
        {QStringLiteral("</span></div>       <div class=\"dbody\">"),
         QStringLiteral("</span></td></tr><tr><td colspan=\"2\" style=\"padding:10px 20px;\">")},
        {QStringLiteral("        </div></div>"), QStringLiteral("</td></tr></table>")},
    };
    QString out = page;
    for (const auto& [from, to] : pieces)
        out.replace(from, to);
    return out;
}

QString MessageBox::statusText() const {
    return m_status->text();
}

bool MessageBox::pageTextIsNumber() {
    bool numeric = false;
    HistoryMarkup::PageIndex(m_page->text(), &numeric);
    if (!numeric) {
        m_deps.prompt.show(QStringLiteral("跳转关键字只能是数字！"), QStringLiteral("提示"), PromptIcon::Exclamation,
                           PromptButtons::Ok);
    }
    return numeric;
}

void MessageBox::step(int delta) {
    resumeNext(lcWindow, "step a page", [&] {
        // The step buttons count from whatever the box holds, as a jump would.
        if (!pageTextIsNumber())
            return;
        const double value = m_page->text().trimmed().toDouble() + delta;
        m_page->setText(QString::number(value, 'g', 15));
        ShowPage(m_page->text());
    });
}

void MessageBox::jump() {
    resumeNext(lcWindow, "jump to a page", [&] {
        if (pageTextIsNumber())
            ShowPage(m_page->text());
    });
}

void MessageBox::onLinkClicked(const QUrl& link) {
    resumeNext(lcWindow, "open a history entry", [&] {
        // The page carries each address encoded; the read mark needs the address as
        // stored, so the rows that carry it are found.
        QString address = link.toString(QUrl::FullyEncoded);
        for (const QString& url : std::as_const(m_pageUrls)) {
            const QString web = webAddress(url);
            if (web.isEmpty() ? QUrl(url) == link : QUrl(web) == link) {
                address = url;
                break;
            }
        }
        const QString web = webAddress(address);
        if (!web.isEmpty())
            m_deps.urls.openUrl(web);
        m_deps.history.MarkReadByUrl(address);
    });
}

void MessageBox::paintEvent(QPaintEvent* event) {
    resumeNext(lcWindow, "tell the host the box repaints", [this] {
        if (m_deps.onPaint)
            m_deps.onPaint();
    });
    QWidget::paintEvent(event);
}
