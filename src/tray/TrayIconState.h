#pragma once

// The three looks of the tray icon: normal, unread notices, offline.
enum class TrayIconState { Normal, Unread, Offline };
