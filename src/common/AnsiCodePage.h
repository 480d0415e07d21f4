#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit code page of the program's text files, tooltips and digests: GBK
// (code page 936) whatever the machine's locale.
namespace AnsiCodePage {

// Code units that make the character at i: 2 for a surrogate pair, else 1 (a lone
// surrogate is a character of its own, so the one after it survives).
qsizetype characterLength(const QString& text, qsizetype i);

// Characters outside the code page become "?". ASCII text never loads the converter
// (GBK keeps ASCII as it is), so reading the program's plain INI files costs no
// code-page tables.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

// The bytes one character (see characterLength) takes in the code page, known without
// the converter for what the tray's own texts are made of: 1 for ASCII, 2 for the
// unified CJK ideographs and the common full-width punctuation; 0 for any other
// character, which only the converter can tell.
int knownLength(QStringView character);

// The code of one character as the runtime's Asc() gives it: 0..255 for a single
// byte, the two bytes of a double-byte character as a signed 16-bit number (lead
// byte high), 63 ("?") for a character outside the code page.
int charCode(QChar c);
// Same for a surrogate pair or any one-character string.
int charCode(const QString& oneCharacter);

} // namespace AnsiCodePage
