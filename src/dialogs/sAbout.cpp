#include "sAbout.h"

#include "AppTitle.h"
#include "FailurePolicy.h"
#include "LinkLabel.h"
#include "Seams.h"
#include "WindowFit.h"
#include "WindowMetrics.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

using WindowMetrics::songTi;
using WindowMetrics::twips;

namespace {
QWidget* rule(QWidget* parent, int y, const QString& colour) {
    auto* line = new QWidget(parent);
    const QRect from = twips(105, y, 5324 - 105, 0);
    line->setGeometry(from.x(), from.y(), from.width(), 1);
    line->setStyleSheet(QStringLiteral("background:%1;").arg(colour));
    return line;
}
} // namespace

sAbout::sAbout(AboutDeps deps, QWidget* parent) : QDialog(parent), m_deps(std::move(deps)) {
    Q_INIT_RESOURCE(dialogs);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("关于我的应用程序"));
    setFont(songTi());
    WindowMetrics::fixCentred(this, 5445, 2295);

    const QPixmap icon(QStringLiteral(":/icons/window-product.png"));
    setWindowIcon(icon);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setGeometry(8, 8, 32, 32);
    WindowFit::showIcon(picture, QStringLiteral(":/icons/window-product.png"));

    m_version = new QLabel(QStringLiteral("软件名称版本"), this);
    m_version->setObjectName(QStringLiteral("lblVersion"));
    m_version->setGeometry(twips(840, 319, 3885, 345));
    // The line keeps its designed width; a longer version wraps and the label grows down.
    m_version->setWordWrap(true);

    auto* description = new QLabel(QStringLiteral("版权所有 © Vantobel。保留所有权利。"), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setGeometry(twips(840, 840, 4485, 330));
    description->setStyleSheet(QStringLiteral("color:#000000;"));

    rule(this, 1425, QStringLiteral("#808080"));
    rule(this, 1440, QStringLiteral("#FFFFFF"));

    m_disclaimer = new LinkLabel(m_deps.vendorAddress, this);
    m_disclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    m_disclaimer->setGeometry(twips(240, 1800, 2415, 315));
    m_disclaimer->setStyleSheet(QStringLiteral("color:%1;").arg(palette().color(QPalette::Highlight).name()));
    m_disclaimer->setAccessibleName(QStringLiteral("Vantobel网站：") + m_deps.vendorAddress);
    connect(m_disclaimer, &LinkLabel::activated, this, [this] {
        resumeNext(lcWindow, "open the vendor's site", [this] { m_deps.urls.openUrl(m_deps.vendorAddress); });
    });

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(twips(3720, 1739, 1500, 345));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setWindowTitle(QStringLiteral("关于 ") + kAppTitle);
    m_version->setText(QStringLiteral("Vantobel育儿播放器(") + kAppTitle + QStringLiteral(") ") + m_deps.playerVersion);
    WindowFit::keepFitted(this);
}

QString sAbout::versionText() const {
    return m_version->text();
}
