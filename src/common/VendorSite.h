#pragma once

#include <QString>

// The vendor's site: every tooltip names it, the about box shows and opens its home page.
inline const QString kVendorSite = QStringLiteral("http://www.vantobel.example");
inline const QString kVendorHomeAddress = kVendorSite + QLatin1Char('/');
