#pragma once

#include "ServiceHealth.h"

#include <QString>
#include <memory>
#include <pugixml.hpp>

class Settings;
class HttpGet;
class HistoryTable;
class TrayState;

// Polls the notice service and tells new notices from seen ones.
class WebNews {
public:
    WebNews(const Settings& settings, HttpGet& http, HistoryTable& history, const TrayState& state);

    // True when a notice arrived, is not empty and is not in the history; the
    // document then waits in CurrentNoticeDoc for the pop-up.
    bool CheckNewNotice();
    QString RequestAddress() const;

    const pugi::xml_document* CurrentNoticeDoc() const { return m_current.get(); }
    // The pop-up takes the document and so releases it.
    std::unique_ptr<pugi::xml_document> TakeCurrentNoticeDoc() { return std::move(m_current); }
    // For tests and the demo: put a document in place as a poll would.
    void SetCurrentNoticeDoc(std::unique_ptr<pugi::xml_document> doc) { m_current = std::move(doc); }

private:
    const Settings& m_settings;
    HttpGet& m_http;
    HistoryTable& m_history;
    const TrayState& m_state;
    std::unique_ptr<pugi::xml_document> m_current;
    ServiceHealth m_health{QStringLiteral("notice")};
    QString m_noticeTimeAxes; // never assigned: the request always carries an empty TimeAxes
};
