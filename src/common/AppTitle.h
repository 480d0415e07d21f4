#pragma once

#include <QString>

// The application title shown in message boxes and the about box.
inline const QString kAppTitle = QStringLiteral("VantobelPlayTray");
