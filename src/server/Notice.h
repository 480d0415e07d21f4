#pragma once

#include <QString>
#include <optional>

namespace pugi {
class xml_document;
}
class WebNews;

// One notice as the windows show it, read out of the poll's document. Every field is
// already cut to its bound (NoticeFields), so a window never holds more than that.
struct Notice {
    QString title; // as sent: the pop-up makes it safe and stores it
    QString url;
    QString picture;
    QString brief;
    QString type; // empty: a notice of no kind
};

// The notice in a document of the notice service; fields it lacks stay empty.
Notice noticeFromDocument(const pugi::xml_document& doc);

// Takes the notice the last poll left waiting, releasing its document; none when
// there is none.
std::optional<Notice> TakeNotice(WebNews& news);
