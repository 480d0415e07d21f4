// The address escapes of the sign-in link. Properties: UrlEncode writes only the
// characters an address may carry unescaped (never "/", ":" or "+"), every escape is
// "%" and two upper-case hex digits, and decoding gives the UTF-8 of the input back.
#include "ApiMold.h"
#include "FuzzSupport.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const quint8 mode = in.byte();
    checkUrlEncode((mode & 1) ? in.utf16() : in.text());
    return 0;
}
