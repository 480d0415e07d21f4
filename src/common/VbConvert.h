#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

// The runtime's conversions of loosely typed values, as the utility class needs them.
namespace VbConvert {

// A text that converts to a number: spaces or tabs around it, a sign, digits with
// an optional decimal part and exponent ("E" or "D"), or "&H"/"&O" with hex/octal digits.
std::optional<double> parseNumber(QStringView text);

// True for numbers, booleans and texts that parseNumber accepts.
bool isNumberLike(const QVariant& v);

// The numeric value: empty is 0, True is -1, a numeric text its number, a date its
// serial day number. Throws VbError 94 for null and 13 for anything else.
double toNumber(const QVariant& v);

// The leading numeric part of a text, 0 when there is none; spaces inside the
// digits are skipped as the runtime's Val() does.
double leadingNumber(QStringView text);

// A switch argument is on only when it equals the number 1.
bool isSwitchOn(const QVariant& v);

// A date value: a date or date-time, a text in one of the usual date forms, or a
// serial day number. Throws VbError 94 for null and 13 for anything else.
QDateTime toDateTime(const QVariant& v);

// Nearest whole number, a tie going to the even neighbour (the runtime's CLng, CInt).
double roundHalfEven(double x);

// A whole number as the runtime prints it ("255", "-1", "1E+20" beyond 15 digits).
QString wholeNumberText(double x);

// A number or the shortest faithful text of it, as wholeNumberText for whole ones.
QVariant compactNumber(double x);

} // namespace VbConvert
