#include "Notice.h"

#include "NoticeFields.h"
#include "Settings.h"
#include "WebNews.h"

#include <pugixml.hpp>

Notice noticeFromDocument(const pugi::xml_document& doc) {
    const auto field = [&doc](const char* name, qsizetype limit) {
        return NoticeFields::cut(
            NodeValue(&doc, QStringLiteral("text"), QStringLiteral("/Root/Notice/") + QLatin1String(name)), limit);
    };
    return Notice{
        .title = field("Title", NoticeFields::kTitle),
        .url = field("Url", NoticeFields::kAddress),
        .picture = field("Pic", NoticeFields::kAddress),
        .brief = field("Brief", NoticeFields::kBrief),
        .type = field("TypeStr", NoticeFields::kType),
    };
}

std::optional<Notice> TakeNotice(WebNews& news) {
    const std::unique_ptr<pugi::xml_document> doc = news.TakeCurrentNoticeDoc();
    if (!doc)
        return std::nullopt;
    return noticeFromDocument(*doc);
}
