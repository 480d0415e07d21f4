#include "Settings.h"

#include "ProgramFolder.h"
#include "Seams.h"

#include <QFile>
#include <sstream>

namespace {

// Every text and CDATA piece below root, in document order. Walked without recursion:
// a notice comes from the network, and a deep enough nesting would overflow the stack.
void collectText(const pugi::xml_node& root, std::string& out) {
    for (pugi::xml_node node = root.first_child(); node;) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            out += node.value();
        else if (node.type() == pugi::node_element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (!node.next_sibling()) {
            node = node.parent();
            if (node == root)
                return;
        }
        node = node.next_sibling();
    }
}

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text);
}

pugi::xpath_node selectFirst(const pugi::xml_node& root, const QString& path) {
    if (!root || path.isEmpty())
        return {};
    try {
        return root.select_node(path.toUtf8().constData());
    } catch (const pugi::xpath_exception&) {
        return {}; // a path that is not a valid expression matches nothing
    }
}

QString xpathNodeValue(const pugi::xpath_node& found, const QString& kind) {
    if (found.attribute()) {
        // A path that ends at an attribute: its value serves for the text kinds.
        if (kind == QLatin1String("text") || kind == QLatin1String("xml"))
            return fromUtf8(found.attribute().value());
        return {};
    }
    return NodeItemValue(found.node(), kind);
}

} // namespace

QString NodeItemValue(const pugi::xml_node& node, const QString& kind) {
    if (!node)
        return {};
    if (kind == QLatin1String("text")) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            return fromUtf8(node.value());
        std::string out;
        collectText(node, out);
        return QString::fromStdString(out);
    }
    if (kind == QLatin1String("xml")) {
        std::ostringstream out;
        node.print(out, "", pugi::format_raw);
        return QString::fromStdString(out.str());
    }
    if (node.type() != pugi::node_element || kind.isEmpty())
        return {};
    return fromUtf8(node.attribute(kind.toUtf8().constData()).value());
}

QString NodeValue(const pugi::xml_document* doc, const QString& kind, const QString& path) {
    if (!doc)
        return {};
    return xpathNodeValue(selectFirst(*doc, path), kind);
}

Settings::Settings(Prompt& prompt) : m_prompt(prompt), m_dom(std::make_unique<pugi::xml_document>()) {}

void Settings::LoadSettings() {
    LoadSettingsFrom(programPath(QStringLiteral("Bin/Settings.xml")));
}

void Settings::LoadSettingsFrom(const QString& path) {
    m_dom = std::make_unique<pugi::xml_document>();
    // Read as bytes: the document's own declaration says how to decode it.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !ParseXmlDocument(*m_dom, file.readAll())) {
        // Every lookup is empty from here on; the tray still starts.
        m_prompt.show(QStringLiteral("Err.SysSettings"), QStringLiteral("err"), PromptIcon::Critical);
    }
}

QString Settings::SettingValue(const QString& kind, const QString& path) const {
    return NodeValue(m_dom.get(), kind, path);
}

QList<pugi::xml_node> Settings::SelectNodes(const QString& path) const {
    QList<pugi::xml_node> nodes;
    if (!m_dom || path.isEmpty())
        return nodes;
    try {
        for (const pugi::xpath_node& found : m_dom->select_nodes(path.toUtf8().constData())) {
            if (found.node())
                nodes.append(found.node());
        }
    } catch (const pugi::xpath_exception&) {
    }
    return nodes;
}
