#pragma once

#include <QLoggingCategory>

// One logging category per subsystem. Debug output is off unless switched on with
// QT_LOGGING_RULES (for example "vantobel.*.debug=true"); warnings go to stderr.
Q_DECLARE_LOGGING_CATEGORY(lcTray)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcStore)
Q_DECLARE_LOGGING_CATEGORY(lcPopup)
