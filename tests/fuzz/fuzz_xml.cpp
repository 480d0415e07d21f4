// The XML reader and NodeValue, with the path taken from the input. Properties: a
// refused text leaves nothing behind; the "text" of a node is every text piece below
// it in document order, and an attribute's value where the path ends at one.
#include "FuzzSupport.h"
#include "Settings.h"

#include <vector>

namespace {

// Document-order text with an explicit stack, independent of the reader's own walk.
QString referenceText(const pugi::xml_node& root) {
    std::string out;
    std::vector<pugi::xml_node> stack;
    for (pugi::xml_node child = root.last_child(); child; child = child.previous_sibling())
        stack.push_back(child);
    while (!stack.empty()) {
        const pugi::xml_node node = stack.back();
        stack.pop_back();
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            out += node.value();
        else if (node.type() == pugi::node_element)
            for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling())
                stack.push_back(child);
    }
    return QString::fromStdString(out);
}

const QString kText = QStringLiteral("text");

} // namespace

FUZZ_TARGET(in) {
    const QString path = in.text();
    const QString attribute = in.text();
    const QByteArray xml = in.rest();

    pugi::xml_document doc;
    if (!ParseXmlDocument(doc, xml)) {
        FUZZ_CHECK(!doc.first_child());
        return;
    }
    int roots = 0;
    for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling())
        roots += child.type() == pugi::node_element ? 1 : 0;
    FUZZ_CHECK(roots == 1);

    const QString text = NodeValue(&doc, kText, path);
    (void)NodeValue(&doc, attribute, path);

    pugi::xpath_node found;
    try {
        found = doc.select_node(path.toUtf8().constData());
    } catch (const pugi::xpath_exception&) {
        FUZZ_CHECK(text.isEmpty());
        return;
    }
    if (found.attribute()) {
        FUZZ_CHECK_EQ(text, QString::fromUtf8(found.attribute().value()));
        return;
    }
    if (!found || found.node().type() != pugi::node_element)
        return;
    const pugi::xml_node node = found.node();
    FUZZ_CHECK_EQ(text, referenceText(node));
    if (!attribute.isEmpty() && !attribute.contains(QChar(0)) && attribute != kText &&
        attribute != QLatin1String("xml"))
        FUZZ_CHECK_EQ(NodeValue(&doc, attribute, path),
                      QString::fromUtf8(node.attribute(attribute.toUtf8().constData()).value()));
}
