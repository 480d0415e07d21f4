#pragma once

#include "VendorSite.h"

#include <QString>

// The tray's own texts in one place, so the menu, the tooltips and the prompts
// cannot drift apart.
namespace TrayTexts {

inline const QString kCrLf = QStringLiteral("\r\n");

// Tooltips; each ends with the NUL that terminates it in the 64-byte tip field.
inline QString normalTip() {
    return QStringLiteral("Brightsprout培养助手：") + kCrLf + kVendorSite + QChar(0);
}
inline QString unreadTip() {
    return QStringLiteral("Brightsprout培养助手：您有未读消息！") + kCrLf + kVendorSite + QStringLiteral("/") +
           QChar(0);
}
inline QString offlineTip() {
    return QStringLiteral("Brightsprout培养助手：（离线）") + kCrLf + kVendorSite + kCrLf + QChar(0);
}

inline const QString kNotInstalled = QStringLiteral("未安装此插件，请下载安装！");

inline QString exitQuestion() {
    return QStringLiteral("您确定要退出播放器并完全关闭程序吗？") + kCrLf + kCrLf +
           QStringLiteral("这可能会错过《Brightsprout培养计划》广播消息！");
}
inline const QString kExitCaption = QStringLiteral("退出程序？");

inline const QString kGoButton = QStringLiteral("进入Vantobel胎教/儿歌播放器");

} // namespace TrayTexts
