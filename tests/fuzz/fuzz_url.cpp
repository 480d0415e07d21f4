// The address escapes of the sign-in link. Properties: UrlEncode writes only the
// characters an address may carry unescaped (never "/", ":" or "+"), every escape is
// "%" and two upper-case hex digits of a byte that could not stand as it is, and
// decoding gives the UTF-8 of the input back.
#include "ApiMold.h"
#include "FuzzSupport.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

bool keptUnescaped(QChar c) {
    static const QByteArray kKept = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789;,?@&=$-_.!~*'()#";
    return c.unicode() > 0 && c.unicode() < 0x80 && kKept.contains(char(c.unicode()));
}

} // namespace

FUZZ_TARGET(in) {
    const QString value = (in.byte() & 1) ? in.utf16() : in.text();
    const QString encoded = UrlEncode(value);
    if (!value.isValidUtf16()) {
        FUZZ_CHECK(encoded.isEmpty()); // encodeURI refuses a lone surrogate
        return;
    }
    // Lower-case digits are not what encodeURI writes.
    static const QRegularExpression escape(QStringLiteral("%([0-9A-F]{2})?"));
    for (auto it = escape.globalMatch(encoded); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        FUZZ_CHECK_MSG(m.hasCaptured(1) && !keptUnescaped(QChar(m.captured(1).toInt(nullptr, 16))), encoded);
    }
    const QString bare = QString(encoded).remove(escape);
    FUZZ_CHECK_MSG(std::all_of(bare.begin(), bare.end(), keptUnescaped), encoded);
    FUZZ_CHECK(QByteArray::fromPercentEncoding(encoded.toLatin1()) == value.toUtf8());
}
