#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

class LocalConn;

struct HistoryRow {
    qint64 Id = 0;
    QString TypeStr;
    QString Title;
    QString UrlStr;
    QString AddTime;
    QString SNo;
    int Status = 0;
    QString PhotoPath;
    QString Brief;
};

// The notice history HistoryNews of the user's Info.db.
class HistoryTable {
public:
    static constexpr int kPageSize = 20;

    enum class Seen { No, Yes, Unknown };

    explicit HistoryTable(LocalConn& conn);

    // Yes when a row with the same title and address (ASCII case-insensitive) exists,
    // or the notice could not be stored earlier in this run; Unknown when the history
    // could not be read (a notice is new only on a definite No).
    Seen IsSeen(const QString& safeTitle, const QString& address);
    // Stores a shown notice as unread; every field is cut as NoticeFields says, the
    // brief to 200 characters, and AddTime written as "yyyy-MM-dd HH:mm:ss". False
    // when nothing was stored: the notice then counts as seen for the rest of the
    // run, and the user is told once that the history cannot be written.
    bool StoreNotice(const QString& type, const QString& safeTitle, const QString& address, const QString& brief,
                     const QDateTime& addTime, const QString& serial);
    void MarkReadBySNo(const QString& serial);
    void MarkReadByUrl(const QString& address);
    // Rows newest first, at the given offset (a negative offset reads as 0).
    QList<HistoryRow> Page(qint64 offset, int pageSize = kPageSize);
    // Number of rows; only those with that Status when status is not blank.
    qint64 HistoryCount(const QVariant& status = {});

private:
    LocalConn& m_conn;
    // Title and address, folded as the lookup compares them, of notices shown but not stored.
    QSet<QString> m_unstored;
};
