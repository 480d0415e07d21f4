#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// One notice of the demo service's notices file.
struct DemoNotice {
    QString kind; // "baby", "user" or "all"
    QString title;
    QString url; // a path starting with "/" is made absolute against the service
    QString pic; // the same; may be empty
    QString brief;
    QString type;
    QString crowd;
    QString area;
    QString timeAxes;
};

// The notices the service hands out, each user kind taking them in file order.
class NoticeBook {
public:
    // False (with a reason) when the file cannot be read or parsed.
    bool load(const QString& path, QString* error);
    bool loadText(const QByteArray& xml, QString* error);

    // The next notice for the asked kind ("baby" or "user"); none when all were handed out.
    // Fresh: never runs out, and every answer is a notice not handed out before.
    std::optional<DemoNotice> next(const QString& askedKind);
    // The file's notices go round for ever, each answer with a serial in its title, a
    // query of its own on its page and picture addresses (the pages and pictures still
    // answer) and the time of the request: a long run gets a new notice at every poll.
    void setFresh(bool fresh) { m_fresh = fresh; }
    // The notice whose Url is path (for its page).
    std::optional<DemoNotice> byPath(const QString& path) const;
    // True when some notice uses this picture path.
    bool hasPicture(const QString& path) const;

    qsizetype size() const { return m_notices.size(); }

    // The answer document: Root/Notice with the eight fields; every field empty for none.
    static QByteArray noticeXml(const std::optional<DemoNotice>& notice, const QString& base);

private:
    QList<DemoNotice> m_notices;
    QHash<QString, qsizetype> m_cursor;
    bool m_fresh = false;
    qint64 m_served = 0;
};

// Makes a path that starts with "/" absolute against base; anything else stays.
QString absoluteAgainst(const QString& value, const QString& base);
