#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <pugixml.hpp>

#include "XmlText.h"

class Prompt;

// The value of the first node at path in doc: its text ("text"), its markup ("xml"),
// or the attribute named kind. Empty when anything is missing. Kinds are case-sensitive.
QString NodeValue(const pugi::xml_document* doc, const QString& kind, const QString& path);
QString NodeItemValue(const pugi::xml_node& node, const QString& kind);

// Bin/Settings.xml of the program folder, loaded once at start-up.
class Settings {
public:
    explicit Settings(Prompt& prompt);

    // Reads and parses the file; shows "Err.SysSettings" once when it cannot.
    void LoadSettings();
    // Loads from another path (tests, demo).
    void LoadSettingsFrom(const QString& path);

    QString SettingValue(const QString& kind, const QString& path) const;
    // Every node at path (the sibling-program list).
    QList<pugi::xml_node> SelectNodes(const QString& path) const;
    const pugi::xml_document* SettingsDom() const { return m_dom.get(); }

private:
    Prompt& m_prompt;
    std::unique_ptr<pugi::xml_document> m_dom;
};
