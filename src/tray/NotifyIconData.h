#pragma once

#include "TrayIconState.h"

#include <QByteArray>
#include <QString>

// The icon record the tray hands to the notification area: which look and the
// tooltip. The tooltip lives in a 64-byte field of the 8-bit code page (GBK), so a
// long text is cut; the cut never splits a double-byte character.
class NotifyIconData {
public:
    static constexpr int kTipBytes = 64;

    TrayIconState icon = TrayIconState::Normal;

    void setTip(const QString& text) { m_tip = cutText(text, kTipBytes); }
    // The tooltip as stored: at most kTipBytes, NUL included when it fits.
    QByteArray tipBytes() const;
    // The tip field as laid out in the record: tipBytes padded with spaces to 64 bytes.
    QByteArray tipField() const;
    // What the icon shows: the stored text up to its NUL.
    QString tipText() const;

    // The longest prefix of text whose 8-bit encoding fits in maxBytes, as the code
    // page gives it back (a character it does not hold becomes "?"). A surrogate pair
    // is one character and is kept or replaced as one.
    static QString cutText(const QString& text, int maxBytes);

private:
    // The stored bytes as text: the tray's own tips are measured without loading the
    // code page's converter, which would cost a megabyte for a tooltip.
    QString m_tip;
};
