#pragma once

#include <QString>

// The vendor's main site, shown and opened by the about box.
inline const QString kVendorHomeAddress = QStringLiteral("http://www.vantobel.example/");
