#include "XmlText.h"

#include <QStringConverter>
#include <QStringDecoder>

namespace {

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The name in encoding="name" (or 'name') at position at of the declaration; empty
// when what stands there is not that.
QByteArray encodingValueAt(const QByteArray& decl, qsizetype at) {
    qsizetype i = at + qsizetype(sizeof("encoding") - 1);
    while (i < decl.size() && isXmlSpace(decl[i]))
        ++i;
    if (i >= decl.size() || decl[i] != '=')
        return {};
    ++i;
    while (i < decl.size() && isXmlSpace(decl[i]))
        ++i;
    if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\''))
        return {};
    const char quote = decl[i++];
    const qsizetype start = i;
    if (i >= decl.size() || !isNameStart(decl[i]))
        return {};
    while (i < decl.size() && (isWordChar(decl[i]) || decl[i] == '.' || decl[i] == '-'))
        ++i;
    if (i >= decl.size() || decl[i] != quote)
        return {};
    return decl.mid(start, i - start);
}

// The encoding name of a leading "<?xml ... encoding='x' ...?>"; empty when none is
// given. Read by hand: every notice and the settings pass here, and the start needs
// no regular-expression engine.
QByteArray declaredEncoding(const QByteArray& bytes) {
    if (!bytes.startsWith("<?xml") || bytes.size() < 6 || !isXmlSpace(bytes[5]))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return {};
    const QByteArray decl = bytes.left(end);
    const qsizetype close = decl.indexOf('>');
    for (qsizetype at = decl.indexOf("encoding", 6); at >= 0; at = decl.indexOf("encoding", at + 1)) {
        if (close >= 0 && close < at)
            return {};
        if (isWordChar(decl[at - 1]))
            continue;
        if (QByteArray name = encodingValueAt(decl, at); !name.isEmpty())
            return name;
    }
    return {};
}

bool isUnicodeEncoding(QStringConverter::Encoding e) {
    return e != QStringConverter::Latin1 && e != QStringConverter::System;
}

} // namespace

std::optional<QByteArray> XmlAsUtf8(const QByteArray& bytes) {
    if (const auto unicode = QStringConverter::encodingForData(bytes, u'<'); unicode && isUnicodeEncoding(*unicode)) {
        if (*unicode == QStringConverter::Utf8)
            return bytes;                 // the parser skips the mark
        QStringDecoder decoder(*unicode); // drops the byte-order mark
        return QString(decoder.decode(bytes)).toUtf8();
    }
    const QByteArray name = declaredEncoding(bytes);
    if (name.isEmpty())
        return bytes;
    // Eight-bit bytes that call themselves UTF-16 or UTF-32 are read as UTF-8, as without a name.
    if (const auto named = QStringConverter::encodingForName(name.constData()); named && isUnicodeEncoding(*named))
        return bytes;
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return std::nullopt;
    // Documents labelled GB2312 are written in the code page that extends it (GBK), whose
    // extra characters the strict GB2312 table would turn into U+FFFD.
    if (decoder.name() == QLatin1String("GB2312"))
        decoder = QStringDecoder("GBK");
    return QString(decoder.decode(bytes)).toUtf8();
}

bool ParseXmlDocument(pugi::xml_document& doc, const QByteArray& bytes) {
    doc.reset();
    const std::optional<QByteArray> text = XmlAsUtf8(bytes);
    if (!text)
        return false;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text->constData(), static_cast<size_t>(text->size()), pugi::parse_default, pugi::encoding_utf8);
    // The parser accepts several top-level elements; a well-formed document has exactly one.
    int roots = 0;
    for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling())
        roots += child.type() == pugi::node_element ? 1 : 0;
    if (parsed && roots == 1)
        return true;
    doc.reset(); // keep nothing of a half-parsed text
    return false;
}
