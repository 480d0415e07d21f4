#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the pop-up decides from its settings and the clock, free of widgets.
namespace PopRules {

enum class NoticeKind { Announcement, Advertisement, Brightsprout, Other };

NoticeKind kindOf(const QString& noticeType);

// The twelve keys a pop-up keeps, in their stored letter case.
const QStringList& popSettingKeys();

// Key -> value for the twelve keys; a key without a row is absent (reads as "").
using PopSettings = QHash<QString, QString>;

// Matches the stored keys without regard to letter case; a later row wins.
PopSettings loadPopSettings(const QList<QPair<QString, QString>>& rows);

// The type's show key is exactly "0": the pop-up must not stay.
bool hiddenByShowKey(const QString& noticeType, const PopSettings& settings);

// Seconds after which a notice of this type closes itself, repeated; 0 = never.
// A close time whose whole part is below 1, empty or not a number falls back to
// the 60 seconds of other notices rather than dividing by nothing.
qint64 autoClosePeriod(const QString& noticeType, const PopSettings& settings);

bool autoCloseDue(const QString& noticeType, const PopSettings& settings, qint64 shownSeconds);

} // namespace PopRules
