// Address pieces. Properties: UrlEncode writes only the characters an address may
// carry unescaped (never "/", ":" or "+"), every escape is "%" and two upper-case hex
// digits, and decoding gives the UTF-8 of the input back; UrlStrValue finds a
// parameter wherever it stands and gives no value unless there is exactly one "?".
#include "ApiMold.h"
#include "FuzzSupport.h"
#include "SysPublicCls.h"

namespace {

bool keptUnescaped(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
           (u < 0x80 && QByteArrayView(";,?@&=$-_.!~*'()#").contains(char(u)));
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1; // lower-case digits are not what encodeURI writes
}

void checkUrlEncode(const QString& value) {
    const QString encoded = UrlEncode(value);
    if (!isValidUtf16(value)) {
        FUZZ_CHECK(encoded.isEmpty()); // encodeURI refuses a lone surrogate
        return;
    }
    QByteArray decoded;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const QChar c = encoded.at(i);
        if (c == u'%') {
            const int high = i + 2 < encoded.size() ? hexValue(encoded.at(i + 1)) : -1;
            const int low = high >= 0 ? hexValue(encoded.at(i + 2)) : -1;
            FUZZ_CHECK_MSG(low >= 0, encoded);
            const int byte = high * 16 + low;
            FUZZ_CHECK_MSG(byte >= 0x80 || !keptUnescaped(QChar(byte)), encoded); // nothing escaped needlessly
            decoded.append(char(byte));
            i += 2;
        } else {
            FUZZ_CHECK_MSG(keptUnescaped(c), encoded);
            decoded.append(char(c.unicode()));
        }
    }
    FUZZ_CHECK(decoded == value.toUtf8());
}

void checkUrlStrValue(const QString& base, const QStringList& others, const QString& name, const QString& value,
                      const QString& separator, quint8 position) {
    const QVariant plain = SysPublicCls::UrlStrValue(base, name, separator);
    FUZZ_CHECK(plain.isValid() == (base.count(u'?') == 1));

    // A query of lower-case pieces, one of them name=value.
    const QString needle = name + QLatin1Char('=');
    QStringList all = others;
    all << base << name << value << separator;
    for (const QString& piece : std::as_const(all))
        if (piece.contains(u'?') || piece.toLower() != piece)
            return;
    if (separator.isEmpty() || value.contains(needle, Qt::CaseInsensitive))
        return;
    QStringList pieces;
    for (const QString& piece : others)
        if (!piece.contains(needle))
            pieces.append(piece);
    pieces.insert(position % (pieces.size() + 1), needle + value);
    const QString query = pieces.join(separator);
    if (query.split(separator) != pieces)
        return; // the separator also occurs inside a piece
    const QVariant found = SysPublicCls::UrlStrValue(QString(base + QLatin1Char('?') + query), name, separator);
    FUZZ_CHECK(found.isValid());
    FUZZ_CHECK_EQ(found.toString(), value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const quint8 mode = in.byte();
    const QString first = (mode & 1) ? in.utf16() : in.text();
    checkUrlEncode(first);

    const QString name = in.text();
    const QString value = in.text();
    const QString separator = in.text();
    QStringList others;
    while (!in.atEnd())
        others.append(in.text());
    checkUrlStrValue(first, others, name, value, separator, mode >> 1);

    FUZZ_CHECK(!SysPublicCls::UrlHost(first).contains(u'/'));
    FUZZ_CHECK(!SysPublicCls::IsUrl(first) || first.contains(u'.'));
    return 0;
}
