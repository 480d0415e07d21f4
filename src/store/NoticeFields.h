#pragma once

#include <QString>

// What one notice may cost. Every field the notice service sends is cut, on a character
// boundary, to a length no real notice comes near, before it is stored or shown: a title
// of a megabyte would otherwise be kept whole and laid out again on every page of the
// history. Lengths count UTF-16 code units, as the rest of the program does.
namespace NoticeFields {

// A title is one line; the pop-up shows 19 characters of it, the message box all.
inline constexpr qsizetype kTitle = 4096;
// Url and Pic: longer than any address browsers and web servers accept.
inline constexpr qsizetype kAddress = 8192;
// A kind of notice names settings keys and the pop-up's caption.
inline constexpr qsizetype kType = 256;
// The pop-up's brief is markup; the history keeps its first 200 characters only.
inline constexpr qsizetype kBrief = 16384;
inline constexpr qsizetype kStoredBrief = 200;

// The first `limit` characters of the text, one fewer where the cut would split a
// surrogate pair (its half would turn into a replacement character).
QString cut(const QString& text, qsizetype limit);

} // namespace NoticeFields
