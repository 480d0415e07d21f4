#pragma once

#include <QString>

namespace BodyMarkup {

// The markup without the tags that belong in a page's head (head, link, meta, base,
// style, title, script). Inside a body they do nothing but harm: Qt's reader makes
// everything after an unclosed one its hidden content, so a brief with a <link> lost
// all its text. A closed style, title or script goes whole, with what it holds (shown
// by no browser, and a style would restyle the window); any other such tag goes alone,
// so the text after it shows. Tags are read the way Qt's reader reads them (spaces
// after "<", quoted names, character references, any letter case).
QString withoutHeadTags(const QString& markup);

} // namespace BodyMarkup
