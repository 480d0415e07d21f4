#pragma once

// Settings pointing at local test servers, for the server-link tests.

#include "Fakes.h"
#include "Settings.h"

#include <QFile>

struct ServerAddresses {
    QString webApi;
    QString interfaceServer;
    QString notice;
};

inline std::unique_ptr<Settings> settingsFor(Prompt& prompt, const QString& dir, const ServerAddresses& a) {
    const QString xml =
        QStringLiteral(R"(<Root><Server><WebApi url="%1"/><InterfaceUserServer url="%2"/>)"
                       R"(<MyHomeManage url="%2/home"/></Server><News><Notice url="%3"/></News></Root>)")
            .arg(a.webApi.toHtmlEscaped(), a.interfaceServer.toHtmlEscaped(), a.notice.toHtmlEscaped());
    QFile f(dir + "/Settings.xml");
    f.open(QIODevice::WriteOnly);
    f.write(xml.toUtf8());
    f.close();
    auto settings = std::make_unique<Settings>(prompt);
    settings->LoadSettingsFrom(f.fileName());
    return settings;
}
