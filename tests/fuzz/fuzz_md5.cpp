// MD5 and the sign-in digest. For ASCII text the digest is the standard MD5 of its
// bytes (checked against Qt's), for any text it is 32 or 16 lower-case hex digits,
// and the sign-in check sees the name and secret only through SafeRequest(…, 1, 0).
#include "ApiMold.h"
#include "FuzzSupport.h"
#include "Md5Mold.h"
#include "SysPublicCls.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <algorithm>

namespace {

bool isLowerHex(const QString& s, qsizetype length) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]*$"));
    return s.size() == length && hex.match(s).hasMatch();
}

QString referenceMd5(const QString& ascii) {
    return QString::fromLatin1(QCryptographicHash::hash(ascii.toLatin1(), QCryptographicHash::Md5).toHex());
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

FUZZ_TARGET(in) {
    const quint8 mode = in.byte();
    QString fields[4];
    for (QString& field : fields) {
        field = (mode & 1) ? in.utf16() : in.text();
        if (mode & 2) // mostly ASCII, so that the comparison with the reference runs often
            for (QChar& c : field)
                c = QChar(char16_t(c.unicode() & 0x7f));
    }
    const auto& [text, key, user, secret] = fields; // the time of the sign-in check is the text

    const QString full = MD5(text, 32);
    const QString shortForm = MD5(text, 16);
    FUZZ_CHECK(isLowerHex(full, 32));
    FUZZ_CHECK_EQ(shortForm, full.mid(8, 16));
    if (int(mode) - 100 != 32)
        FUZZ_CHECK_EQ(MD5(text, int(mode) - 100), shortForm);
    if (isAscii(text))
        FUZZ_CHECK_EQ(full, referenceMd5(text));

    // The sign-in check.
    const QString check = LoginCheckDigest(key, user, secret, text);
    FUZZ_CHECK(isLowerHex(check, 16));
    const QString u = SysPublicCls::SafeRequest(user, 1, 0);
    const QString p = SysPublicCls::SafeRequest(secret, 1, 0);
    if (isAscii(key + u + p + text)) {
        const QString m1 = referenceMd5(p).mid(8, 16);
        const QString m2 = referenceMd5(key + u + m1).mid(8, 16);
        FUZZ_CHECK_EQ(check, referenceMd5(key + m2 + text).mid(8, 16));
    }
    // What SafeRequest neutralises cannot change the check: both sides see the same text.
    FUZZ_CHECK_EQ(LoginCheckDigest(key, QStringLiteral("  ") + u + QStringLiteral(" "), p, text), check);
}
