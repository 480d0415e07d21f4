#include "HistoryTable.h"

#include "LocalConn.h"
#include "NoticeFields.h"
#include "SysPublicCls.h"

namespace {

QString textOf(const QVariant& v) {
    return SysPublicCls::isNull(v) ? QString() : v.toString();
}

// COLLATE NOCASE folds ASCII letters only.
QString asciiFolded(QString text) {
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

QString cutTitle(const QString& title) {
    return NoticeFields::cut(title, NoticeFields::kTitle);
}

QString cutAddress(const QString& address) {
    return NoticeFields::cut(address, NoticeFields::kAddress);
}

QString noticeKey(const QString& safeTitle, const QString& address) {
    return asciiFolded(cutTitle(safeTitle)) + QChar(0) + asciiFolded(cutAddress(address));
}

} // namespace

HistoryTable::HistoryTable(LocalConn& conn) : m_conn(conn) {}

HistoryTable::Seen HistoryTable::IsSeen(const QString& safeTitle, const QString& address) {
    if (m_unstored.contains(noticeKey(safeTitle, address)))
        return Seen::Yes;
    bool ok = false;
    const QVariant id = m_conn.ExecuteSql(
        QStringLiteral("Select Id From HistoryNews where Title=? COLLATE NOCASE And UrlStr=? COLLATE NOCASE"),
        {cutTitle(safeTitle), cutAddress(address)}, &ok);
    if (!ok)
        return Seen::Unknown;
    return SysPublicCls::IsBlank(id) ? Seen::No : Seen::Yes;
}

bool HistoryTable::StoreNotice(const QString& type, const QString& safeTitle, const QString& address,
                               const QString& brief, const QDateTime& addTime, const QString& serial) {
    qint64 changes = 0;
    const bool ok = m_conn.Execute(
        QStringLiteral(
            "Replace Into HistoryNews(TypeStr,Title,UrlStr,Brief,AddTime,SNo,PhotoPath)Values(?,?,?,?,?,?,?) "),
        {NoticeFields::cut(type, NoticeFields::kType), cutTitle(safeTitle), cutAddress(address),
         NoticeFields::cut(brief, NoticeFields::kStoredBrief), addTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
         serial, QString()},
        &changes);
    if (ok && changes > 0)
        return true;
    // Shown but not stored: popping it up again at every poll would not store it either.
    m_unstored.insert(noticeKey(safeTitle, address));
    m_conn.reportWriteFailure();
    return false;
}

void HistoryTable::MarkReadBySNo(const QString& serial) {
    m_conn.ExecuteSql(QStringLiteral("Update HistoryNews Set Status=1 Where SNo=? "), {serial});
}

void HistoryTable::MarkReadByUrl(const QString& address) {
    m_conn.ExecuteSql(QStringLiteral("Update HistoryNews Set Status=1 Where Status=0 And UrlStr= ? COLLATE NOCASE"),
                      {cutAddress(address)});
}

QList<HistoryRow> HistoryTable::Page(qint64 offset, int pageSize) {
    QList<HistoryRow> page;
    if (pageSize <= 0) // SQLite would read a negative limit as "no limit"
        return page;
    const QList<QVariantList> rows =
        m_conn.QuerySql(QStringLiteral("select Id,TypeStr,Title,UrlStr,AddTime,SNo,Status,PhotoPath,Brief from "
                                       "HistoryNews Order by AddTime Desc ,id Limit ? Offset ?"),
                        {pageSize, qMax<qint64>(offset, 0)});
    page.reserve(rows.size());
    for (const QVariantList& r : rows) {
        if (r.size() < 9)
            continue;
        HistoryRow row;
        row.Id = r.at(0).toLongLong();
        // Rows stored before the fields were cut, or by another program, are cut as shown.
        row.TypeStr = NoticeFields::cut(textOf(r.at(1)), NoticeFields::kType);
        row.Title = cutTitle(textOf(r.at(2)));
        row.UrlStr = cutAddress(textOf(r.at(3)));
        row.AddTime = textOf(r.at(4));
        row.SNo = textOf(r.at(5));
        row.Status = r.at(6).toInt();
        row.PhotoPath = cutAddress(textOf(r.at(7)));
        row.Brief = NoticeFields::cut(textOf(r.at(8)), NoticeFields::kStoredBrief);
        page.append(row);
    }
    return page;
}

qint64 HistoryTable::HistoryCount(const QVariant& status) {
    const bool byStatus = !SysPublicCls::IsBlank(status);
    QString sql = QStringLiteral("select Count(Id) from HistoryNews ");
    QVariantList params;
    if (byStatus) {
        sql += QStringLiteral(" Where Status=?");
        params.append(status);
    }
    sql += QLatin1Char(' ');
    const QVariant count = m_conn.ExecuteSql(sql, params);
    return SysPublicCls::IsBlank(count) ? 0 : count.toLongLong();
}
