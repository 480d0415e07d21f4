#include "PopRules.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace PopRules {

namespace {
const QString kAnnouncement = QStringLiteral("公告");
const QString kAdvertisement = QStringLiteral("广告");
const QString kBrightsprout = QStringLiteral("Brightsprout培养计划");

QString suffixOf(NoticeKind kind) {
    switch (kind) {
    case NoticeKind::Announcement:
        return QStringLiteral("SysNotice");
    case NoticeKind::Advertisement:
        return QStringLiteral("SysAdv");
    case NoticeKind::Brightsprout:
        return QStringLiteral("SysBrightsproutNotice");
    case NoticeKind::Other:
        break;
    }
    return {};
}
} // namespace

NoticeKind kindOf(const QString& noticeType) {
    if (noticeType == kAnnouncement)
        return NoticeKind::Announcement;
    if (noticeType == kAdvertisement)
        return NoticeKind::Advertisement;
    if (noticeType == kBrightsprout)
        return NoticeKind::Brightsprout;
    return NoticeKind::Other;
}

const QStringList& popSettingKeys() {
    static const QStringList keys = {
        QStringLiteral("PopShow_SysNotice"),
        QStringLiteral("PopAutoClose_SysNotice"),
        QStringLiteral("PopAutoCloseTime_SysNotice"),
        QStringLiteral("PopShow_SysNewList"),
        QStringLiteral("PopAutoClose_SysNewList"),
        QStringLiteral("PopAutoCloseTime_SysNewList"),
        QStringLiteral("PopShow_SysBrightsproutNotice"),
        QStringLiteral("PopAutoClose_SysBrightsproutNotice"),
        QStringLiteral("PopAutoCloseTime_SysBrightsproutNotice"),
        QStringLiteral("PopShow_SysAdv"),
        QStringLiteral("PopAutoClose_SysAdv"),
        QStringLiteral("PopAutoCloseTime_SysAdv"),
    };
    return keys;
}

PopSettings loadPopSettings(const QList<QPair<QString, QString>>& rows) {
    PopSettings settings;
    for (const auto& row : rows) {
        const QString field = row.first.toLower();
        for (const QString& key : popSettingKeys()) {
            if (field == key.toLower())
                settings.insert(key, row.second);
        }
    }
    return settings;
}

bool hiddenByShowKey(const QString& noticeType, const PopSettings& settings) {
    const NoticeKind kind = kindOf(noticeType);
    if (kind == NoticeKind::Other)
        return false;
    return settings.value(QStringLiteral("PopShow_") + suffixOf(kind)) == QLatin1String("0");
}

qint64 autoClosePeriod(const QString& noticeType, const PopSettings& settings) {
    constexpr qint64 kOtherPeriod = 60;
    const NoticeKind kind = kindOf(noticeType);
    if (kind == NoticeKind::Other)
        return kOtherPeriod;
    const QString suffix = suffixOf(kind);
    if (settings.value(QStringLiteral("PopAutoClose_") + suffix) != QLatin1String("1"))
        return 0;
    bool ok = false;
    const double minutes = settings.value(QStringLiteral("PopAutoCloseTime_") + suffix).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(minutes))
        return kOtherPeriod;
    const double whole = std::trunc(minutes);
    if (whole < 1)
        return kOtherPeriod;
    // Far beyond any lifetime of a window; keeps the product inside 64 bits.
    return static_cast<qint64>(std::min(whole, 1.0e12)) * 60;
}

bool autoCloseDue(const QString& noticeType, const PopSettings& settings, qint64 shownSeconds) {
    const qint64 period = autoClosePeriod(noticeType, settings);
    return period > 0 && shownSeconds > 0 && shownSeconds % period == 0;
}

} // namespace PopRules

void PopMotion::start(qint64 screenWidthTw, qint64 screenHeightTw, qint64 windowWidthTw) {
    m_state = Rising;
    m_left = screenWidthTw - windowWidthTw;
    m_top = screenHeightTw;
}

void PopMotion::followShown(qint64 shownTopTw, qint64 screenHeightTw, qint64 windowHeightTw) {
    const qint64 target = screenHeightTw - windowHeightTw - kBottomMarginTwips;
    if (m_state == Rising && m_top - shownTopTw >= 2 * kStepTwips && shownTopTw > target)
        m_top = shownTopTw;
}

PopMotion::Step PopMotion::tick(qint64 screenHeightTw, qint64 windowHeightTw) {
    if (m_state == Rising) {
        const qint64 target = screenHeightTw - windowHeightTw - kBottomMarginTwips;
        if (target < m_top) {
            m_top -= kStepTwips;
            return Step::Moved;
        }
        return Step::Still;
    }
    if (m_state == Sinking) {
        if (m_top < screenHeightTw) {
            m_top += kStepTwips;
            return Step::Moved;
        }
        return Step::Gone;
    }
    return Step::Still;
}
