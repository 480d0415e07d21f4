#include "AnsiCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace AnsiCodePage {

namespace {
constexpr auto kName = "GBK";

// Encodes one character; empty when it is not in the code page.
QByteArray encodeOne(const QString& ch) {
    QStringEncoder encoder(kName, QStringConverter::Flag::Stateless);
    QByteArray out = encoder.encode(ch);
    if (encoder.hasError())
        return {};
    return out;
}
} // namespace

qsizetype characterLength(const QString& text, qsizetype i) {
    return text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
}

QByteArray encode(const QString& text) {
    {
        // Most texts map whole; only a text with an unmappable character needs the slow walk.
        QStringEncoder encoder(kName, QStringConverter::Flag::Stateless);
        QByteArray whole = encoder.encode(text);
        if (!encoder.hasError())
            return whole;
    }
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = characterLength(text, i);
        const QString ch = text.mid(i, len);
        i += len;
        if (ch.at(0).unicode() < 0x80) {
            out.append(static_cast<char>(ch.at(0).unicode()));
            continue;
        }
        const QByteArray bytes = encodeOne(ch);
        // ICU substitutes unmappable characters with 0x1A or '?'; both mean "not in the code page".
        if (bytes.isEmpty() || bytes == "\x1a" || bytes == "?")
            out.append('?');
        else
            out.append(bytes);
    }
    return out;
}

QString decode(const QByteArray& bytes) {
    QStringDecoder decoder(kName, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

int charCode(const QString& oneCharacter) {
    if (oneCharacter.isEmpty())
        return 0;
    const QByteArray bytes = encode(oneCharacter);
    if (bytes.size() == 1)
        return static_cast<unsigned char>(bytes.at(0));
    if (bytes.size() >= 2) {
        const auto word = static_cast<quint16>((static_cast<unsigned char>(bytes.at(0)) << 8) |
                                               static_cast<unsigned char>(bytes.at(1)));
        return static_cast<qint16>(word);
    }
    return 63;
}

int charCode(QChar c) {
    return charCode(QString(c));
}

} // namespace AnsiCodePage
