#pragma once

#include <QByteArray>
#include <optional>
#include <pugixml.hpp>

// The bytes of an XML document as UTF-8, read the way an XML document object reads a
// file or a download: a byte-order mark (or UTF-16/32 without one) decides first, then
// the encoding named in the XML declaration ("gb2312", "gbk", "gb18030", "big5", ...),
// else UTF-8. Empty optional when the declaration names an encoding we cannot decode.
std::optional<QByteArray> XmlAsUtf8(const QByteArray& bytes);

// Parses a whole document (decoded as above) into doc, emptied first. False, with doc
// left empty, when the encoding is unknown, the text is not well-formed, or it has not
// exactly one top-level element. The one reader of Settings.xml and of the notices.
bool ParseXmlDocument(pugi::xml_document& doc, const QByteArray& bytes);
