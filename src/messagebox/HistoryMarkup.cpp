#include "HistoryMarkup.h"

#include "SysPublicCls.h"
#include "WebAddress.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace HistoryMarkup {

QString StyleSheet() {
    return QStringLiteral("<style type=\"text/css\">") + QStringLiteral("body,table,td{font-size:12px}") +
           QStringLiteral(".msgdl{background:#F5F8FA;width:100%;}") +
           QStringLiteral(".msgdw{background:#fff;width:100%;}") +
           QStringLiteral(".dtitle{height:25px;line-height:25px;border-bottom:1px solid #8EC3EB;padding:2px 20px "
                          "0px 20px;margin:2px 0px;}") +
           QStringLiteral(".dbody{padding:10px 20px;}") +
           QStringLiteral("a{hide-focus: expression(this.hideFocus=true);outline: none;}") + QStringLiteral("</style>");
}

QString Entry(const HistoryRow& row, const QString& cls) {
    QString s;
    s += QStringLiteral("<div class=\"") + cls + QStringLiteral("\">");
    s += QStringLiteral("       <div class=\"dtitle\"><a style=\"TEXT-DECORATION: none;color:#3568BB;font-weight:bold;"
                        "float:left;\" target=\"_blank\" href=\"");
    s += markupAddress(row.UrlStr);
    s += QStringLiteral("\">");
    s += row.Title + QStringLiteral("  ") + row.AddTime;
    if (row.Status == 0)
        s += QStringLiteral(" 　<font id=\"N") + QString::number(row.Id) + QStringLiteral("\">(New)</font>");
    s += QStringLiteral("</a><span style=\"float:right;color:#666\">　");
    s += row.TypeStr;
    s += QStringLiteral("</span></div>");
    s += QStringLiteral("       <div class=\"dbody\">");
    s += QStringLiteral("           <table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">");
    s += QStringLiteral("                <tr>");
    s += QStringLiteral("                <td style=\"font-size:12px;text-align:Left;line-height:150%;word-wrap:break-"
                        "word;\"><a style=\"TEXT-DECORATION: none;color:#000000;\" target=\"_blank\" href=\"");
    s += markupAddress(row.UrlStr);
    if (SysPublicCls::IsBlank(row.PhotoPath)) {
        s += QStringLiteral("\" >");
    } else {
        s += QStringLiteral("\" ><img border=\"0\" src=\"") + markupAddress(row.PhotoPath) +
             QStringLiteral("\" width=\"100\" height=\"100\" align=\"left\" style=\"margin:8px 10px 0px 0px;\">");
    }
    s += row.Brief;
    s += QStringLiteral("...</a></td>");
    s += QStringLiteral("                </tr>");
    s += QStringLiteral("            </table>");
    s += QStringLiteral("        </div>");
    s += QStringLiteral("</div>");
    return s;
}

QString EntryList(const QList<HistoryRow>& rows) {
    QString list;
    int k = 0;
    for (const HistoryRow& row : rows) {
        if (SysPublicCls::IsBlank(row.Title))
            continue;
        list += Entry(row, k % 2 == 0 ? QStringLiteral("msgdl") : QStringLiteral("msgdw"));
        ++k;
    }
    return list;
}

QString PageDocument(const QString& list) {
    QString s;
    s += QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
    s += QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">");
    s += QStringLiteral("<head>") + StyleSheet() + QStringLiteral("</head>");
    s += QStringLiteral("<body style=\"BACKGROUND:#ffffff;font-size:12px;text-align:Left;margin:0px;padding:0px;\">");
    if (!SysPublicCls::IsBlank(list) && list != QLatin1String("undefined"))
        s += SysPublicCls::HtmlSelfEnCode(list);
    s += QStringLiteral("</body>");
    return s;
}

qint64 PageIndex(const QString& pageText, bool* ok) {
    bool parsed = false;
    const double value = pageText.trimmed().toDouble(&parsed);
    if (!parsed || !std::isfinite(value)) {
        if (ok != nullptr)
            *ok = false;
        return 0;
    }
    if (ok != nullptr)
        *ok = true;
    // Far past any real history; keeps the row offset inside 64 bits.
    constexpr double kLimit = 1.0e15;
    const double clamped = std::clamp(value, -kLimit, kLimit);
    const int oldMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(clamped);
    std::fesetround(oldMode);
    return static_cast<qint64>(rounded) - 1;
}

} // namespace HistoryMarkup
