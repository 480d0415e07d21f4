#include "NoticeBook.h"

#include <QDateTime>
#include <QFile>
#include <pugixml.hpp>
#include <sstream>

namespace {
QString childText(const pugi::xml_node& node, const char* name) {
    return QString::fromUtf8(node.child(name).text().get()).trimmed();
}
} // namespace

QString absoluteAgainst(const QString& value, const QString& base) {
    return value.startsWith(QLatin1Char('/')) ? base + value : value;
}

bool NoticeBook::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return loadText(file.readAll(), error);
}

bool NoticeBook::loadText(const QByteArray& xml, QString* error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.constData(), static_cast<size_t>(xml.size()));
    if (!parsed || !doc.child("Notices")) {
        if (error)
            *error = parsed ? QStringLiteral("the root element must be Notices")
                            : QStringLiteral("not well-formed XML at byte %1: %2")
                                  .arg(parsed.offset)
                                  .arg(QString::fromUtf8(parsed.description()));
        return false;
    }
    m_notices.clear();
    m_cursor.clear();
    for (pugi::xml_node node : doc.child("Notices").children("Notice")) {
        DemoNotice n;
        n.kind = QString::fromUtf8(node.attribute("kind").as_string("all")).toLower();
        n.title = childText(node, "Title");
        n.url = childText(node, "Url");
        n.pic = childText(node, "Pic");
        n.brief = childText(node, "Brief");
        n.type = childText(node, "TypeStr");
        n.crowd = childText(node, "CrowdType");
        n.area = childText(node, "Area");
        n.timeAxes = childText(node, "TimeAxes");
        m_notices.append(n);
    }
    return true;
}

std::optional<DemoNotice> NoticeBook::next(const QString& askedKind) {
    const QString kind = askedKind.toLower();
    qsizetype& cursor = m_cursor[kind];
    if (m_fresh) {
        for (qsizetype looked = 0; looked < m_notices.size(); ++looked) {
            DemoNotice n = m_notices.at(cursor++ % m_notices.size());
            if (n.kind != QLatin1String("all") && n.kind != kind)
                continue;
            const QString serial = QString::number(++m_served);
            const auto withSerial = [&serial](const QString& address) -> QString {
                if (address.isEmpty())
                    return address;
                return address + (address.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
                       QStringLiteral("n=") + serial;
            };
            n.title += QStringLiteral(" #") + serial;
            n.url = withSerial(n.url);
            n.pic = withSerial(n.pic);
            n.timeAxes = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            return n;
        }
        return std::nullopt;
    }
    while (cursor < m_notices.size()) {
        const DemoNotice& n = m_notices.at(cursor++);
        if (n.kind == QLatin1String("all") || n.kind == kind)
            return n;
    }
    return std::nullopt;
}

std::optional<DemoNotice> NoticeBook::byPath(const QString& path) const {
    for (const DemoNotice& n : m_notices) {
        if (n.url == path)
            return n;
    }
    return std::nullopt;
}

bool NoticeBook::hasPicture(const QString& path) const {
    for (const DemoNotice& n : m_notices) {
        if (n.pic == path)
            return true;
    }
    return false;
}

QByteArray NoticeBook::noticeXml(const std::optional<DemoNotice>& notice, const QString& base) {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "utf-8";
    pugi::xml_node el = doc.append_child("Root").append_child("Notice");
    const DemoNotice n = notice.value_or(DemoNotice{});
    const auto add = [&](const char* name, const QString& value) {
        el.append_child(name).text().set(value.toUtf8().constData());
    };
    add("Title", n.title);
    add("Url", notice ? absoluteAgainst(n.url, base) : QString());
    add("Pic", notice ? absoluteAgainst(n.pic, base) : QString());
    add("Brief", n.brief);
    add("TypeStr", n.type);
    add("CrowdType", n.crowd);
    add("Area", n.area);
    add("TimeAxes", n.timeAxes);
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return QByteArray::fromStdString(out.str());
}
