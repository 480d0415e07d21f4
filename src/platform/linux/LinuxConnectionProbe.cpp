#include "LinuxConnectionProbe.h"

#include <QFile>
#include <QList>

namespace {

constexpr unsigned kRouteUp = 0x0001;     // RTF_UP
constexpr unsigned kRouteReject = 0x0200; // RTF_REJECT: an unreachable route, not a way out
constexpr unsigned kInterfaceUp = 0x0001; // IFF_UP
constexpr qint64 kMaxRead = 1 << 20;

// Kernel files report size 0, so read until the end, within a sane limit. Read in small
// pieces: this runs every second, and a read of the whole limit at once takes (and
// gives back) a megabyte each time.
QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    QByteArray out;
    char piece[4096];
    while (out.size() < kMaxRead) {
        const qint64 n = file.read(piece, qMin<qint64>(sizeof piece, kMaxRead - out.size()));
        if (n <= 0)
            break;
        out.append(piece, n);
    }
    return out;
}

bool validInterfaceName(const QByteArray& name) {
    // Interface names never hold a slash; anything else would leave /sys/class/net.
    return !name.isEmpty() && !name.contains('/') && name != "." && name != "..";
}

struct Candidate {
    QString interface;
    quint64 metric = 0;
};

bool hexValue(const QByteArray& text, quint64* value) {
    bool ok = false;
    *value = text.toULongLong(&ok, 16);
    return ok;
}

// /proc/net/route: Iface Destination Gateway Flags RefCnt Use Metric Mask ...
QList<Candidate> ipv4DefaultRoutes(const QByteArray& table) {
    QList<Candidate> routes;
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        if (f.size() < 8)
            continue;
        quint64 destination = 1, flags = 0, metric = 0, mask = 1;
        if (!hexValue(f[1], &destination) || !hexValue(f[3], &flags) || !hexValue(f[7], &mask))
            continue;
        bool ok = false;
        metric = f[6].toULongLong(&ok);
        if (!ok || destination != 0 || mask != 0 || !(flags & kRouteUp) || (flags & kRouteReject))
            continue;
        if (f[0] == "lo" || !validInterfaceName(f[0]))
            continue;
        routes.append({QString::fromLatin1(f[0]), metric});
    }
    return routes;
}

// /proc/net/ipv6_route: dest destlen src srclen nexthop metric refcnt use flags iface
QList<Candidate> ipv6DefaultRoutes(const QByteArray& table) {
    QList<Candidate> routes;
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 10)
            continue;
        if (f[0] != QByteArray(32, '0') || f[1] != "00")
            continue;
        quint64 metric = 0, flags = 0;
        if (!hexValue(f[5], &metric) || !hexValue(f[8], &flags))
            continue;
        if (!(flags & kRouteUp) || (flags & kRouteReject))
            continue;
        if (f[9] == "lo" || !validInterfaceName(f[9]))
            continue;
        routes.append({QString::fromLatin1(f[9]), metric});
    }
    return routes;
}

} // namespace

LinuxConnectionProbe::LinuxConnectionProbe(QString procNetDir, QString sysClassNetDir)
    : m_procNetDir(std::move(procNetDir)), m_sysClassNetDir(std::move(sysClassNetDir)) {}

bool LinuxConnectionProbe::interfaceIsUp(const QString& interface) const {
    const QString base = m_sysClassNetDir + QLatin1Char('/') + interface;
    const QByteArray state = readSmallFile(base + QStringLiteral("/operstate")).trimmed();
    if (state == "up")
        return true;
    // "unknown" is what tunnels and many virtual links report; their flags decide.
    if (!state.isEmpty() && state != "unknown")
        return false;
    const QByteArray flagsText = readSmallFile(base + QStringLiteral("/flags")).trimmed();
    if (flagsText.isEmpty())
        // Nothing readable (no sysfs in a sandbox): trust the kernel's up route.
        return true;
    bool ok = false;
    const quint64 flags = flagsText.toULongLong(&ok, 0);
    return ok && (flags & kInterfaceUp);
}

QString LinuxConnectionProbe::defaultRouteInterface() const {
    for (const auto& routes : {ipv4DefaultRoutes(readSmallFile(m_procNetDir + QStringLiteral("/route"))),
                               ipv6DefaultRoutes(readSmallFile(m_procNetDir + QStringLiteral("/ipv6_route")))}) {
        const Candidate* best = nullptr;
        for (const Candidate& c : routes) {
            if (interfaceIsUp(c.interface) && (!best || c.metric < best->metric))
                best = &c;
        }
        if (best)
            return best->interface;
    }
    return {};
}

bool LinuxConnectionProbe::isConnected(QString* name) {
    if (name)
        name->clear();
    const QByteArray forced = qgetenv("VANTOBEL_TRAY_ONLINE").trimmed();
    if (forced == "0")
        return false;
    if (forced == "1") {
        if (name)
            *name = QStringLiteral("VANTOBEL_TRAY_ONLINE");
        return true;
    }
    const QString interface = defaultRouteInterface();
    if (interface.isEmpty())
        return false;
    if (name)
        *name = interface;
    return true;
}
