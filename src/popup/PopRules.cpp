#include "PopRules.h"

#include "PopSettingKeys.h"

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
        return PopSettingKeys::kNotice;
    case NoticeKind::Advertisement:
        return PopSettingKeys::kAdvert;
    case NoticeKind::Brightsprout:
        return PopSettingKeys::kBrightsprout;
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
    return PopSettingKeys::all();
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
    return settings.value(PopSettingKeys::show(suffixOf(kind))) == QLatin1String("0");
}

qint64 autoClosePeriod(const QString& noticeType, const PopSettings& settings) {
    constexpr qint64 kOtherPeriod = 60;
    const NoticeKind kind = kindOf(noticeType);
    if (kind == NoticeKind::Other)
        return kOtherPeriod;
    const QString suffix = suffixOf(kind);
    if (settings.value(PopSettingKeys::autoClose(suffix)) != QLatin1String("1"))
        return 0;
    bool ok = false;
    const double minutes = settings.value(PopSettingKeys::autoCloseTime(suffix)).trimmed().toDouble(&ok);
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
