#pragma once

#include <QString>

// MD5 of a text whose characters become message bytes through their 8-bit code
// page codes (sign-extended for double-byte characters). length 32 gives the full
// digest; anything else the 16 middle digits. Lower-case hex.
QString MD5(const QString& text, int length);
