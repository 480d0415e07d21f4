#pragma once

#include <QFont>
#include <QRect>
#include <QString>

// Window layouts are designed in twips: 15 twips to the device-independent pixel.
namespace WindowMetrics {

constexpr int kTwipsPerPixel = 15;

inline int toPixels(int twips) {
    return qRound(twips / double(kTwipsPerPixel));
}

inline QRect twips(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// The windows' CJK face: SimSun where installed, else a Noto CJK font.
inline QFont songTi() {
    QFont f;
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Sans CJK")});
    f.setPixelSize(12);
    return f;
}

} // namespace WindowMetrics
