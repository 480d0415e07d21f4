#pragma once

#include "TrayIconState.h"

#include <QByteArray>
#include <QString>

// The icon record the tray hands to the notification area: which look and the
// tooltip. The tooltip lives in a 64-byte field of the 8-bit code page (GBK), so a
// long text is cut; the cut never splits a double-byte character.
struct NotifyIconData {
    static constexpr int kTipBytes = 64;

    TrayIconState icon = TrayIconState::Normal;
    QByteArray tipBytes; // the tooltip as stored: at most kTipBytes, NUL included when it fits

    void setTip(const QString& text) { tipBytes = cutToBytes(text, kTipBytes); }
    // The tip field as laid out in the record: tipBytes padded with spaces to 64 bytes.
    QByteArray tipField() const;
    // What the icon shows: the stored text up to its NUL.
    QString tipText() const;

    // The longest prefix of text whose 8-bit encoding fits in maxBytes, encoded.
    static QByteArray cutToBytes(const QString& text, int maxBytes);
};
