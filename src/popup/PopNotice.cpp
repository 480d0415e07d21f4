#include "PopNotice.h"

#include "BodyMarkup.h"
#include "FailurePolicy.h"
#include "HistoryTable.h"
#include "LinkLabel.h"
#include "NativeMove.h"
#include "Notice.h"
#include "NoticeMarkup.h"
#include "NoticePicture.h"
#include "PopSettingKeys.h"
#include "Seams.h"
#include "SettingsTable.h"
#include "SysPublicCls.h"
#include "TickInterval.h"
#include "ToolTitleBar.h"
#include "ToolWindowHints.h"
#include "WebAddress.h"
#include "WindowFit.h"
#include "WindowMetrics.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWindow>
#include <QtMath>

using WindowMetrics::kTwipsPerPixel;
using WindowMetrics::songTi;
using WindowMetrics::twips;

namespace {
QLabel* iconLabel(QWidget* parent, const QString& resource, const QRect& at) {
    auto* label = new QLabel(parent);
    label->setGeometry(at);
    WindowFit::showIcon(label, resource);
    return label;
}
} // namespace

PopNotice::PopNotice(PopNoticeDeps deps, const Notice& notice, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint), m_deps(std::move(deps)) {
    Q_INIT_RESOURCE(popup);
    setAttribute(Qt::WA_DeleteOnClose);
    // A notice must not take the keyboard from the program the user is typing in.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("系统消息！"));
    buildWidgets();
    load(notice);
    // The timers start only now that the window is whole: the load lets pending events
    // run (the settings read), and a tick there could close and delete the window
    // under the load's feet.
    m_started = true;
    m_moveTimer.start();
    // A kind that never closes by itself has nothing to count: at rest it costs nothing.
    if (PopRules::autoClosePeriod(m_noticeType, m_popSettings) > 0)
        m_countTimer.start();
    if (!m_deps.screenGeometry) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            connect(screen, &QScreen::geometryChanged, this, &PopNotice::wakeMotion);
    }
}

PopNotice::~PopNotice() {
    NativeMove::forget(this);
}

void PopNotice::buildWidgets() {
    // The pop-up draws its own small title bar with a close button only: window managers
    // that frame every window alike would add minimise and maximise.
    QWidget* client = ToolTitleBar::frame(this, twips(0, 0, kClientWidthTw, kClientHeightTw).size());
    QPalette pal = palette();
    const QColor back = pal.color(QPalette::Midlight);
    pal.setColor(QPalette::Window, back);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* title = new LinkLabel(QString(), client);
    title->setObjectName(QStringLiteral("Title"));
    title->setGeometry(twips(120, 120, 4365, 375));
    title->setFont(songTi());
    connect(title, &LinkLabel::activated, this, &PopNotice::openNotice);
    m_title = title;

    auto* container = new QWidget(client);
    container->setObjectName(QStringLiteral("PictureNoticeBrowser"));
    container->setGeometry(twips(0, 520, 4575, 1760));
    m_browser = new NoticeBrowser(container);
    m_browser->setObjectName(QStringLiteral("NoticeBrowser"));
    // The frame and the scroll bars are hidden rather than pushed outside the
    // container: Qt's scroll bar width differs by style, so clipping is unreliable.
    m_browser->setFrameShape(QFrame::NoFrame);
    m_browser->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_browser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_browser->setGeometry(container->rect());
    m_browser->setAccessibleName(QStringLiteral("通知内容"));
    QPalette browserPal = m_browser->palette();
    browserPal.setColor(QPalette::Base, back);
    m_browser->setPalette(browserPal);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &PopNotice::onLinkClicked);

    auto* line = new QWidget(client);
    line->setGeometry(QRect(QPoint(twips(75, 2350, 0, 0).topLeft()), QPoint(twips(4535, 2350, 0, 0).topLeft())));
    line->setStyleSheet(QStringLiteral("background:#E0E0E0;"));

    iconLabel(client, QStringLiteral(":/icons/window-history.png"), twips(240, 2490, 270, 270));
    iconLabel(client, QStringLiteral(":/icons/window-details.png"), twips(3190, 2480, 240, 240));

    const auto makeLink = [client](const QString& name, const QString& text, const QRect& at) {
        auto* label = new LinkLabel(text, client);
        label->setObjectName(name);
        label->setGeometry(at);
        label->setFont(songTi());
        label->setStyleSheet(QStringLiteral("color:#404040;"));
        return label;
    };
    auto* history = makeLink(QStringLiteral("Label2"), QStringLiteral("历史消息"), twips(590, 2520, 855, 255));
    connect(history, &LinkLabel::activated, this, [this] {
        resumeNext(lcPopup, "open the message box", [this] {
            if (m_deps.showMessageBox)
                m_deps.showMessageBox();
        });
    });
    auto* details = makeLink(QStringLiteral("Label1"), QStringLiteral("查看详细"), twips(3540, 2520, 855, 255));
    connect(details, &LinkLabel::activated, this, &PopNotice::openNotice);
    m_history = history;
    m_details = details;
    // Tab walks the window top to bottom: title, notice, then the two links.
    setTabOrder(title, m_browser);
    setTabOrder(m_browser, history);
    setTabOrder(history, details);
    WindowFit::keepFitted(this);
}

void PopNotice::load(const Notice& notice) {
    m_moveTimer.setInterval(10);
    connect(&m_moveTimer, &QTimer::timeout, this, &PopNotice::moveTick);
    m_countTimer.setInterval(oneSecondTickMs());
    connect(&m_countTimer, &QTimer::timeout, this, &PopNotice::countTick);
    const QRect screen = screenRect();
    m_motion.start(qint64(screen.width()) * kTwipsPerPixel, qint64(screen.height()) * kTwipsPerPixel,
                   qint64(frameGeometry().width()) * kTwipsPerPixel);
    applyPosition();

    // A failing step ends the load quietly; the window keeps what it has so far.
    jumpToHandler(lcPopup, "load the notice", [&] {
        m_popSettings = PopRules::loadPopSettings(m_deps.settings.ReadAll());

        const QString safeTitle = SysPublicCls::SafeRequest(notice.title, 1, 0);
        m_title->setText(NoticeMarkup::DisplayTitle(safeTitle));
        m_noticeUrl = notice.url;

        QString serial = m_deps.utils.YMdDateTimeSNoStrTwo(2);
        for (int i = 0; i < 5; ++i)
            serial += SysPublicCls::text(m_deps.utils.Auto1ToNumbStr(9));
        m_noticeSNo = serial;

        m_picture = notice.picture;
        m_brief = notice.brief;
        if (!SysPublicCls::IsBlank(notice.type)) {
            setWindowTitle(notice.type);
            m_noticeType = notice.type;
        }

        render();
        record(safeTitle, m_brief);
        // Keyed as the page's img names it: by the encoded address.
        const QString picture = webAddress(m_picture);
        if (m_deps.pictures != nullptr && !picture.isEmpty()) {
            const QUrl address(picture);
            // The page shows it at 100 by 100: it is decoded to those pixels of this screen.
            const int side = qCeil(100 * devicePixelRatioF());
            m_deps.pictures->fetch(picture, QSize(side, side), this, [this, address](QImage image) {
                image.setDevicePixelRatio(devicePixelRatioF());
                m_browser->addPicture(address, image);
                resumeNext(lcPopup, "draw the notice with its picture", [this] { render(); });
            });
        }
    });
}

void PopNotice::render() {
    const QString linkColour = NoticeMarkup::ColorToHtmlHex(m_title->palette().color(QPalette::WindowText));
    const QString backColour = NoticeMarkup::ColorToHtmlHex(palette().color(QPalette::Window));
    // A head-only tag in the brief would hide the rest of it.
    const QString fragment =
        BodyMarkup::withoutHeadTags(NoticeMarkup::NoticeFragment(linkColour, m_noticeUrl, m_picture, m_brief));
    m_pageHtml = NoticeMarkup::WithBody(NoticeMarkup::NoticePage(backColour), SysPublicCls::HtmlSelfEnCode(fragment));
    m_browser->setHtml(m_pageHtml);
}

void PopNotice::record(const QString& safeTitle, const QString& brief) {
    // The store cuts the brief, and only it: a cut here could split a surrogate pair.
    m_deps.history.StoreNotice(m_noticeType, safeTitle, m_noticeUrl, brief, m_deps.clock.now(), m_noticeSNo);
}

QString PopNotice::titleText() const {
    return m_title->text();
}

void PopNotice::activationCheck() {
    resumeNext(lcPopup, "check the quiet settings", [this] {
        if (m_closingByCode)
            return;
        const QString peaceful = m_deps.settings.ReadSetting(PopSettingKeys::kTable, PopSettingKeys::kAllQuiet);
        if (peaceful == QLatin1String("1") || PopRules::hiddenByShowKey(m_noticeType, m_popSettings))
            closeByCode();
    });
}

void PopNotice::moveTick() {
    resumeNext(lcPopup, "move the pop-up", [this] {
        const QRect screen = screenRect();
        const qint64 screenTw = qint64(screen.height()) * kTwipsPerPixel;
        if (isVisible()) {
            // Put elsewhere by the user once at rest, it keeps the place it was put at.
            if (m_motion.resting() && qAbs(frameGeometry().x() - framePlace().x()) >= 2)
                m_heldLeft = frameGeometry().x() - screen.x();
            m_motion.followShown(qint64(frameGeometry().top() - screen.y()) * kTwipsPerPixel, screenTw,
                                 windowHeightTwips());
        }
        const PopMotion::Step step = m_motion.tick(screenTw, windowHeightTwips());
        if (step == PopMotion::Step::Moved) {
            applyPosition();
        } else if (step == PopMotion::Step::Still) {
            // At rest the window costs nothing; a slide-out or a change of the screen or
            // of the frame starts the timer again (wakeMotion). Qt is told where it rests.
            m_moveTimer.stop();
            NativeMove::settle(this, framePlace());
            // At rest a click may give it the keyboard (its links are reached with Tab).
            ToolWindowHints::takesFocus(this, true);
        } else if (step == PopMotion::Step::Gone) {
            m_moveTimer.stop();
            closeByCode();
        }
    });
}

void PopNotice::countTick() {
    resumeNext(lcPopup, "count the shown seconds", [this] {
        ++m_shownSeconds;
        if (PopRules::autoCloseDue(m_noticeType, m_popSettings, m_shownSeconds))
            startSlideOut(true);
    });
}

qint64 PopNotice::screenHeightTwips() const {
    return qint64(screenRect().height()) * kTwipsPerPixel;
}

qint64 PopNotice::windowHeightTwips() const {
    return qint64(frameGeometry().height()) * kTwipsPerPixel;
}

bool PopNotice::isTopmost() const {
    if (windowHandle() != nullptr)
        return windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

QRect PopNotice::screenRect() const {
    if (m_deps.screenGeometry)
        return m_deps.screenGeometry();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return QRect(0, 0, 1024, 768);
}

QPoint PopNotice::framePlace() const {
    const QRect screen = screenRect();
    // The frame is known only once the window manager has framed the window, so the
    // right edge is taken afresh on every move.
    const int right = qMax(0, screen.width() - frameGeometry().width());
    const int left = m_heldLeft ? qBound(0, *m_heldLeft, right) : right;
    return {screen.x() + left, screen.y() + int(m_motion.topTw() / kTwipsPerPixel)};
}

void PopNotice::applyPosition() {
    const QPoint at = framePlace();
    // A shown window moves by one request to the display server where it can; the
    // load places it the Qt way, which also makes its position include the frame.
    if (!NativeMove::moveFrame(this, at))
        move(at);
}

void PopNotice::wakeMotion() {
    if (m_started && !m_closingByCode && !m_moveTimer.isActive())
        m_moveTimer.start();
}

void PopNotice::startSlideOut(bool dropTopmost) {
    m_motion.sink();
    wakeMotion();
    if (!dropTopmost)
        return;
    // Changing the widget's flags would hide and re-create a visible window; the
    // native window takes the change in place.
    if (windowHandle() != nullptr)
        windowHandle()->setFlag(Qt::WindowStaysOnTopHint, false);
    else
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
    ToolWindowHints::moveAndCloseOnly(this);
}

void PopNotice::openNotice() {
    resumeNext(lcPopup, "open the notice", [this] {
        const QString address = webAddress(m_noticeUrl);
        if (!address.isEmpty())
            m_deps.urls.openUrl(address);
        upNewReaded();
        closeByCode();
    });
}

void PopNotice::onLinkClicked(const QUrl& link) {
    resumeNext(lcPopup, "open a link in the notice", [this, link] {
        upNewReaded();
        closeByCode();
        // The notice's own link opens exactly what the title opens.
        const QString notice = webAddress(m_noticeUrl);
        const QString address =
            !notice.isEmpty() && QUrl(notice) == link ? notice : webAddress(link.toString(QUrl::FullyEncoded));
        if (!address.isEmpty())
            m_deps.urls.openUrl(address);
    });
}

void PopNotice::upNewReaded() {
    m_deps.history.MarkReadBySNo(m_noticeSNo);
}

void PopNotice::closeByCode() {
    m_closingByCode = true;
    m_moveTimer.stop();
    m_countTimer.stop();
    close();
}

void PopNotice::closeEvent(QCloseEvent* event) {
    if (m_closingByCode) {
        event->accept();
        return;
    }
    // The user's close sinks the window away instead; it stays on top meanwhile.
    event->ignore();
    startSlideOut(false);
}

bool PopNotice::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &PopNotice::activationCheck);
    // The window manager's frame changes the height the rest is measured from.
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        wakeMotion();
    return handled;
}

void PopNotice::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Below the screen's edge while it rises: the server keeps those pixels, so each
    // step does not send a newly revealed strip again.
    NativeMove::keepHiddenPixels(this);
    // A notice is no task of its own: no taskbar button, no pager entry; and it takes
    // no focus while it rises.
    ToolWindowHints::skipTaskbarAndPager(this);
    ToolWindowHints::moveAndCloseOnly(this);
    ToolWindowHints::takesFocus(this, false);
    // The window appears without activation, so the first check runs right after
    // showing; a later activation (the user clicks it) checks again.
    QTimer::singleShot(0, this, &PopNotice::activationCheck);
}
