#include "NotifyIconData.h"

#include "AnsiCodePage.h"

QByteArray NotifyIconData::tipField() const {
    QByteArray field = tipBytes;
    if (field.size() < kTipBytes)
        field.append(kTipBytes - field.size(), ' ');
    return field;
}

QString NotifyIconData::tipText() const {
    const int nul = tipBytes.indexOf('\0');
    return AnsiCodePage::decode(nul < 0 ? tipBytes : tipBytes.left(nul));
}

QByteArray NotifyIconData::cutToBytes(const QString& text, int maxBytes) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size();) {
        // A surrogate pair is one character and is encoded (or replaced) as one.
        const qsizetype len = AnsiCodePage::characterLength(text, i);
        const QByteArray bytes = AnsiCodePage::encode(text.mid(i, len));
        if (out.size() + bytes.size() > maxBytes)
            break;
        out.append(bytes);
        i += len;
    }
    return out;
}
