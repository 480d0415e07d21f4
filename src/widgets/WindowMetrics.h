#pragma once

#include <QFont>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QWidget>

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

// A fixed window of the given client size in twips, centred on the primary screen.
inline void fixCentred(QWidget* window, int widthTwips, int heightTwips) {
    const QSize size = twips(0, 0, widthTwips, heightTwips).size();
    window->setFixedSize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace WindowMetrics
