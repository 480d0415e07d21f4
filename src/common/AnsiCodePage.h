#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit code page of the program's text files, tooltips and digests: GBK
// (code page 936) whatever the machine's locale.
namespace AnsiCodePage {

// Code units that make the character at i: 2 for a surrogate pair, else 1 (a lone
// surrogate is a character of its own, so the one after it survives).
qsizetype characterLength(const QString& text, qsizetype i);

// Characters outside the code page become "?".
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

// The code of one character as the runtime's Asc() gives it: 0..255 for a single
// byte, the two bytes of a double-byte character as a signed 16-bit number (lead
// byte high), 63 ("?") for a character outside the code page.
int charCode(QChar c);
// Same for a surrogate pair or any one-character string.
int charCode(const QString& oneCharacter);

} // namespace AnsiCodePage
