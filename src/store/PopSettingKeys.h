#pragma once

#include <QString>
#include <QStringList>

// The SoftSettings keys that rule the pop-ups, in their stored letter case: for each
// kind of notice a show switch, a close switch and a close time in minutes, each
// key ending in the kind's suffix. The settings dialog writes them, the pop-up reads
// them; both spell them only here.
namespace PopSettingKeys {

inline const QString kTable = QStringLiteral("SoftSettings");
// Do-not-disturb: every pop-up closes at once.
inline const QString kAllQuiet = QStringLiteral("AllMessagePeaceful");

inline const QString kNotice = QStringLiteral("SysNotice");
inline const QString kNewList = QStringLiteral("SysNewList");
inline const QString kBrightsprout = QStringLiteral("SysBrightsproutNotice");
inline const QString kAdvert = QStringLiteral("SysAdv");

inline QString show(const QString& kind) {
    return QStringLiteral("PopShow_") + kind;
}
inline QString autoClose(const QString& kind) {
    return QStringLiteral("PopAutoClose_") + kind;
}
inline QString autoCloseTime(const QString& kind) {
    return QStringLiteral("PopAutoCloseTime_") + kind;
}

// The twelve keys, three for each kind.
inline const QStringList& all() {
    static const QStringList keys = [] {
        QStringList list;
        for (const QString& kind : {kNotice, kNewList, kBrightsprout, kAdvert})
            list << show(kind) << autoClose(kind) << autoCloseTime(kind);
        return list;
    }();
    return keys;
}

} // namespace PopSettingKeys
