#include "WebNews.h"

#include "FailurePolicy.h"
#include "HistoryTable.h"
#include "HttpGet.h"
#include "NoticeFields.h"
#include "Settings.h"
#include "SysPublicCls.h"
#include "TrayState.h"

WebNews::WebNews(const Settings& settings, HttpGet& http, HistoryTable& history, const TrayState& state)
    : m_settings(settings), m_http(http), m_history(history), m_state(state) {}

QString WebNews::RequestAddress() const {
    return m_settings.SettingValue(QStringLiteral("url"), QStringLiteral("/Root/News/Notice")) +
           QStringLiteral("?TypeStr=") + m_state.CurrentUserKind() + QStringLiteral("&TimeAxes=") + m_noticeTimeAxes;
}

bool WebNews::CheckNewNotice() {
    m_current = std::make_unique<pugi::xml_document>();
    try {
        // The answer is parsed into a document of our own: the wait below runs other
        // handlers (a pop-up taking the document, another poll), which may change m_current.
        auto doc = std::make_unique<pugi::xml_document>();
        const QString address = RequestAddress();
        const HttpResult answer = m_http.get(address);
        if (!answer.ok() || !ParseXmlDocument(*doc, answer.body)) {
            m_health.failed(address,
                            answer.ok() ? QStringLiteral("an answer that is not XML") : ServiceHealth::causeOf(answer));
            m_current.reset();
            return false;
        }
        m_health.answered();
        // Cut as the pop-up cuts them, so that the history finds what the pop-up stores.
        const QString title = SysPublicCls::SafeRequest(
            NoticeFields::cut(NodeValue(doc.get(), QStringLiteral("text"), QStringLiteral("/Root/Notice/Title")),
                              NoticeFields::kTitle),
            1, 0);
        const QString noticeUrl = NoticeFields::cut(
            NodeValue(doc.get(), QStringLiteral("text"), QStringLiteral("/Root/Notice/Url")), NoticeFields::kAddress);
        if (SysPublicCls::IsBlank(title) && SysPublicCls::IsBlank(noticeUrl)) {
            m_current.reset(); // the service's way of saying there is nothing new
            return false;
        }
        m_current = std::move(doc);
        // A seen notice keeps its document; nothing reads it because no pop-up opens. A
        // history that cannot be read says nothing: the notice waits for the next poll.
        return m_history.IsSeen(title, noticeUrl) == HistoryTable::Seen::No;
    } catch (...) {
        noteFailure(lcNet(), "read the notice");
        m_current.reset();
        return false;
    }
}
