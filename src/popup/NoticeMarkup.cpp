#include "NoticeMarkup.h"

#include "SysPublicCls.h"
#include "WebAddress.h"

namespace NoticeMarkup {

QString docTypeDeclaration() {
    return QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
}

QString htmlStartTag() {
    return QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">");
}

QString ColorToHtmlHex(const QColor& c) {
    const QColor rgb = c.toRgb();
    return QStringLiteral("%1%2%3")
        .arg(rgb.red(), 2, 16, QLatin1Char('0'))
        .arg(rgb.green(), 2, 16, QLatin1Char('0'))
        .arg(rgb.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString DisplayTitle(const QString& safeTitle) {
    if (safeTitle.size() > 19)
        return safeTitle.left(17) + QStringLiteral("...");
    return safeTitle.left(19);
}

QString NoticeFragment(const QString& linkColourHex, const QString& noticeUrl, const QString& picture,
                       const QString& brief) {
    QString s;
    s += QStringLiteral("<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">");
    s += QStringLiteral("   <tr>");
    s += QStringLiteral("       <td style=\"font-size:12px;text-align:Left;line-height:150%;word-wrap:break-word;\">"
                        "<a style=\"TEXT-DECORATION: none;color:#");
    s += linkColourHex;
    s += QStringLiteral("\";\" target=\"_blank\" href=\"");
    s += markupAddress(noticeUrl);
    if (!SysPublicCls::IsBlank(picture)) {
        s += QStringLiteral("\" ><img border=\"0\" src=\"");
        s += markupAddress(picture);
        s += QStringLiteral("\" width=\"100\" height=\"100\" align=\"left\" style=\"margin:8px 10px 0px 0px;\">");
    } else {
        s += QStringLiteral("\" >");
    }
    s += brief;
    s += QStringLiteral("</a></td>");
    s += QStringLiteral("   </tr>");
    s += QStringLiteral("</table>");
    return s;
}

QString NoticePage(const QString& backColourHex) {
    QString s;
    s += docTypeDeclaration();
    s += htmlStartTag();
    s += QStringLiteral("<head>");
    s += QStringLiteral("<style type=\"text/css\">");
    s += QStringLiteral("a{hide-focus: expression(this.hideFocus=true);outline: none;}");
    s += QStringLiteral("</style>");
    s += QStringLiteral("</head>");
    s += QStringLiteral("<body style=\"BACKGROUND:#") + backColourHex +
         QStringLiteral(";font-size:12px;text-align:Left;margin:0px 15px;padding:0px;\"></body>");
    return s;
}

QString WithBody(const QString& page, const QString& innerHtml) {
    const qsizetype at = page.lastIndexOf(QStringLiteral("</body>"));
    if (at < 0)
        return page + innerHtml;
    return page.left(at) + innerHtml + page.mid(at);
}

} // namespace NoticeMarkup
