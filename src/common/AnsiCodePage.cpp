#include "AnsiCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <iterator>

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

bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}
bool isAscii(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
} // namespace

int knownLength(QStringView character) {
    if (character.size() != 1)
        return 0;
    const char16_t c = character.at(0).unicode();
    if (c < 0x80)
        return 1;
    // GBK holds the whole original block of unified ideographs (U+4E00..U+9FA5) and these
    // punctuation marks of GB 2312 (、。“”‘’…！（），：；？) as two bytes each.
    static constexpr char16_t kPunctuation[] = {0x3001, 0x3002, 0x201C, 0x201D, 0x2018, 0x2019, 0x2026,
                                                0xFF01, 0xFF08, 0xFF09, 0xFF0C, 0xFF1A, 0xFF1B, 0xFF1F};
    if ((c >= 0x4E00 && c <= 0x9FA5) ||
        std::find(std::begin(kPunctuation), std::end(kPunctuation), c) != std::end(kPunctuation))
        return 2;
    return 0;
}

qsizetype characterLength(const QString& text, qsizetype i) {
    return text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
}

QByteArray encode(const QString& text) {
    if (isAscii(QStringView(text)))
        return text.toLatin1();
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
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
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
