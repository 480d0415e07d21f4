#include "BodyMarkup.h"

#include <QStringList>

namespace {

bool isHeadTag(const QString& name) {
    static const QStringList names{QStringLiteral("head"),  QStringLiteral("link"),  QStringLiteral("meta"),
                                   QStringLiteral("base"),  QStringLiteral("style"), QStringLiteral("title"),
                                   QStringLiteral("script")};
    return names.contains(name);
}

// Elements whose content goes with them when they are closed.
bool holdsContent(const QString& name) {
    return name == QLatin1String("style") || name == QLatin1String("title") || name == QLatin1String("script");
}

class Reader {
public:
    explicit Reader(const QString& text) : m_text(text) {}

    struct Tag {
        qsizetype begin = 0;
        qsizetype end = 0; // just past the '>'
        QString name;      // lower case
        bool closing = false;
        bool selfClosed = false;
    };

    // The tag that starts at the '<' at position at; comments and declarations give
    // no name and end where Qt's reader ends them.
    Tag tagAt(qsizetype at) {
        Tag tag;
        tag.begin = at;
        m_pos = at + 1;
        skipSpace();
        if (peek(u'!')) {
            const qsizetype close = QStringView(m_text).mid(m_pos).startsWith(u"!--")
                                        ? m_text.indexOf(QLatin1String("-->"), m_pos + 3)
                                        : -1;
            const qsizetype gt = m_text.indexOf(u'>', m_pos);
            tag.end = close >= 0 ? close + 3 : (gt < 0 ? m_text.size() : gt + 1);
            return tag;
        }
        if (peek(u'/')) {
            tag.closing = true;
            ++m_pos;
            tag.name = word().toLower().trimmed();
            const qsizetype gt = m_text.indexOf(u'>', m_pos);
            tag.end = gt < 0 ? m_text.size() : gt + 1;
            return tag;
        }
        tag.name = word().toLower();
        // The attributes, so that a '>' inside quotes does not end the tag.
        while (m_pos < m_text.size()) {
            skipSpace();
            if (peek(u'>') || peek(u'/'))
                break;
            if (word().isEmpty())
                break;
            skipSpace();
            if (peek(u'=')) {
                ++m_pos;
                skipSpace();
                word();
            }
        }
        while (m_pos < m_text.size() && m_text.at(m_pos) != u'>') {
            if (m_text.at(m_pos) == u'/')
                tag.selfClosed = true;
            ++m_pos;
        }
        tag.end = qMin(m_pos + 1, m_text.size());
        return tag;
    }

private:
    bool peek(char16_t c) const { return m_pos < m_text.size() && m_text.at(m_pos) == c; }
    void skipSpace() {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    // A name or value: quoted, or up to a space, '<', '>', '=' or "/>".
    QString word() {
        QString out;
        if (peek(u'"') || peek(u'\'')) {
            const QChar quote = m_text.at(m_pos++);
            while (m_pos < m_text.size() && m_text.at(m_pos) != quote)
                appendChar(out);
            ++m_pos;
            return out;
        }
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == u'>' || c == u'<' || c == u'=' || c.isSpace() ||
                (c == u'/' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == u'>'))
                break;
            appendChar(out);
        }
        return out;
    }

    // One character, a numeric character reference decoded as Qt decodes it.
    void appendChar(QString& out) {
        const QChar c = m_text.at(m_pos++);
        if (c != u'&') {
            out += c;
            return;
        }
        const qsizetype semi = m_text.indexOf(u';', m_pos);
        if (semi > m_pos + 1 && semi - m_pos <= 9 && m_text.at(m_pos) == u'#') {
            QStringView digits = QStringView(m_text).mid(m_pos + 1, semi - m_pos - 1);
            int base = 10;
            if (!digits.isEmpty() && digits.at(0).toLower() == u'x') {
                base = 16;
                digits = digits.mid(1);
            }
            bool ok = false;
            const uint code = digits.toUInt(&ok, base);
            if (ok && !digits.contains(u' ')) {
                out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
                m_pos = semi + 1;
                return;
            }
        }
        out += c;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

} // namespace

namespace BodyMarkup {

QString withoutHeadTags(const QString& markup) {
    if (!markup.contains(u'<'))
        return markup;
    Reader reader(markup);
    QString out;
    out.reserve(markup.size());
    // Names whose end tag was looked for and not found: none is looked for twice, so a
    // long run of unclosed tags costs one pass.
    QStringList unclosed;
    qsizetype copied = 0;
    qsizetype at = markup.indexOf(u'<');
    while (at >= 0) {
        const Reader::Tag tag = reader.tagAt(at);
        qsizetype next = tag.end;
        if (isHeadTag(tag.name)) {
            out += QStringView(markup).mid(copied, at - copied);
            copied = tag.end;
            if (!tag.closing && !tag.selfClosed && holdsContent(tag.name) && !unclosed.contains(tag.name)) {
                qsizetype look = markup.indexOf(u'<', tag.end);
                for (; look >= 0; look = markup.indexOf(u'<', look)) {
                    const Reader::Tag end = reader.tagAt(look);
                    if (end.closing && end.name == tag.name) {
                        copied = end.end;
                        break;
                    }
                    look = end.end;
                }
                if (look < 0)
                    unclosed << tag.name;
                next = copied;
            }
        }
        at = markup.indexOf(u'<', next);
    }
    out += QStringView(markup).mid(copied);
    return out;
}

} // namespace BodyMarkup
