#include "XmlText.h"

#include <QRegularExpression>
#include <QStringConverter>
#include <QStringDecoder>

namespace {

// The encoding name of a leading "<?xml ... encoding='x' ...?>"; empty when none is given.
QByteArray declaredEncoding(const QByteArray& bytes) {
    if (!bytes.startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return {};
    static const QRegularExpression encoding(
        QStringLiteral("^<\\?xml\\s[^>]*?\\bencoding\\s*=\\s*([\"'])([A-Za-z][A-Za-z0-9._-]*)\\1"));
    const QRegularExpressionMatch m = encoding.match(QString::fromLatin1(bytes.left(end)));
    return m.hasMatch() ? m.captured(2).toLatin1() : QByteArray();
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
