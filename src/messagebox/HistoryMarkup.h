#pragma once

#include "HistoryTable.h"

#include <QList>
#include <QString>

// The markup of one page of the message box, apart from the widget.
namespace HistoryMarkup {

QString StyleSheet();
// One entry; cls is "msgdl" or "msgdw".
QString Entry(const HistoryRow& row, const QString& cls);
// The entries of the rows with a title, alternating their backgrounds.
QString EntryList(const QList<HistoryRow>& rows);
// The four writes of the page with the list (carriage returns as <BR>) in its body.
QString PageDocument(const QString& list);

// The 0-based page index of the page text: rounded half to even, minus 1. False in
// ok when the text is not a number.
qint64 PageIndex(const QString& pageText, bool* ok);

} // namespace HistoryMarkup
