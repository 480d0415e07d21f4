#pragma once

#include <QLoggingCategory>

// One logging category per subsystem. Debug output is off unless switched on with
// QT_LOGGING_RULES (for example "vantobel.*.debug=true"); warnings go to stderr.
Q_DECLARE_LOGGING_CATEGORY(lcTray)   // start-up, icon, menu, skin, sibling programs
Q_DECLARE_LOGGING_CATEGORY(lcLink)   // the player link and the player's start
Q_DECLARE_LOGGING_CATEGORY(lcNet)    // connection watch, notice and key services
Q_DECLARE_LOGGING_CATEGORY(lcStore)  // the per-user database
Q_DECLARE_LOGGING_CATEGORY(lcPopup)  // the notice pop-up
Q_DECLARE_LOGGING_CATEGORY(lcWindow) // the message box, settings and about windows

// How a category is handed around: the function the macros above declare.
using LogCategory = const QLoggingCategory& (*)();
