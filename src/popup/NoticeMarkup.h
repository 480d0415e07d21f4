#pragma once

#include <QColor>
#include <QString>

// The markup of a notice pop-up, kept apart from the widget so it can be checked
// piece by piece.
namespace NoticeMarkup {

// The XHTML 1.0 Transitional declaration and the html start tag with its namespace;
// the message box writes the same two pieces.
QString docTypeDeclaration();
QString htmlStartTag();

// "RRGGBB" in capitals.
QString ColorToHtmlHex(const QColor& c);

// The title as the label shows it: whole up to 19 characters, else 17 and "...".
QString DisplayTitle(const QString& safeTitle);

// The table with the one link that holds the picture (when given) and the brief. The
// addresses go in encoded (markupAddress); the brief is markup and goes in as it is.
QString NoticeFragment(const QString& linkColourHex, const QString& noticeUrl, const QString& picture,
                       const QString& brief);

// The eight writes of the page, joined, with an empty body.
QString NoticePage(const QString& backColourHex);

// The page with innerHTML placed inside its body (before the closing body tag).
QString WithBody(const QString& page, const QString& innerHtml);

} // namespace NoticeMarkup
