#include "Log.h"

Q_LOGGING_CATEGORY(lcTray, "vantobel.tray", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLink, "vantobel.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "vantobel.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStore, "vantobel.store", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPopup, "vantobel.popup", QtWarningMsg)
