#include "NotifyIconData.h"

#include "AnsiCodePage.h"

QString NotifyIconData::cutText(const QString& text, int maxBytes) {
    QString kept;
    int used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = AnsiCodePage::characterLength(text, i);
        QString shown = text.mid(i, len);
        int bytes = AnsiCodePage::knownLength(shown);
        if (bytes == 0) {
            // What the code page makes of it ("?" when it is not there), as the record holds it.
            const QByteArray encoded = AnsiCodePage::encode(shown);
            bytes = static_cast<int>(encoded.size());
            shown = AnsiCodePage::decode(encoded);
        }
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        kept += shown;
        i += len;
    }
    return kept;
}

QByteArray NotifyIconData::tipBytes() const {
    return AnsiCodePage::encode(m_tip);
}

QByteArray NotifyIconData::tipField() const {
    QByteArray field = tipBytes();
    if (field.size() < kTipBytes)
        field.append(kTipBytes - field.size(), ' ');
    return field;
}

QString NotifyIconData::tipText() const {
    const qsizetype nul = m_tip.indexOf(QChar(0));
    return nul < 0 ? m_tip : m_tip.left(nul);
}
