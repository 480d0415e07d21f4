#include "NoticeFields.h"

namespace NoticeFields {

QString cut(const QString& text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    qsizetype length = qMax<qsizetype>(limit, 0);
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace NoticeFields
