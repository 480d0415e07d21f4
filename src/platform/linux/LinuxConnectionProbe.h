#pragma once

#include "Seams.h"

// A default route (IPv4 or IPv6) on an interface that is up, read from
// /proc/net/route and /proc/net/ipv6_route. VANTOBEL_TRAY_ONLINE=0|1 forces it.
// Only small kernel files are read: cheap enough for a one-second timer.
class LinuxConnectionProbe : public ConnectionProbe {
public:
    // The folders are replaceable so that tests can hand in sample files.
    explicit LinuxConnectionProbe(QString procNetDir = QStringLiteral("/proc/net"),
                                  QString sysClassNetDir = QStringLiteral("/sys/class/net"));
    bool isConnected(QString* name = nullptr) override;

private:
    bool interfaceIsUp(const QString& interface) const;
    QString defaultRouteInterface() const;

    QString m_procNetDir;
    QString m_sysClassNetDir;
};
