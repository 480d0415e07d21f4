#include "LinuxConnectionProbe.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
QByteArray v4(const char* iface, const char* dest, const char* flags, const char* metric, const char* mask) {
    return QByteArray(iface) + '\t' + dest + "\t0101A8C0\t" + flags + "\t0\t0\t" + metric + '\t' + mask + "\t0\t0\t0\n";
}
const QByteArray kEthDefault = v4("eth0", "00000000", "0003", "100", "00000000");
const QByteArray kEthSubnet = v4("eth0", "0001A8C0", "0001", "100", "00FFFFFF");
const QByteArray kZero(32, '0');
QByteArray v6(const QByteArray& dest, const char* prefix, const char* flags, const char* iface) {
    return dest + ' ' + prefix + ' ' + kZero + " 00 " + kZero + " 00000400 00000001 00000000 " + flags + ' ' + iface +
           '\n';
}

// A fake /proc/net and /sys/class/net in a temporary folder.
struct Net {
    QTemporaryDir dir;
    void write(const QString& relative, const QByteArray& data) const {
        QVERIFY(writeFile(dir.path() + '/' + relative, data));
    }
    void link(const QString& name, const QByteArray& state, const QByteArray& flags = "0x1003") const {
        write("sys/" + name + "/operstate", state + '\n');
        write("sys/" + name + "/flags", flags + '\n');
    }
    LinuxConnectionProbe probe() const { return LinuxConnectionProbe(dir.path() + "/net", dir.path() + "/sys"); }
};

} // namespace

class TestConnectionProbe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { qunsetenv("VANTOBEL_TRAY_ONLINE"); }

    void routes() {
        const QByteArray up = "up", f = "0x1003", none;
        const struct {
            const char* name;
            QByteArray ipv4, ipv6, state, flags;
            QString expected; // the interface; empty = offline
        } cases[] = {
            {"ipv4 default up", kHeader + kEthSubnet + kEthDefault, none, up, f, "eth0"},
            {"subnet route only", kHeader + kEthSubnet, none, up, f, ""},
            {"only lo", kHeader + v4("lo", "00000000", "0001", "0", "00000000"), none, up, f, ""},
            {"route not up", kHeader + v4("eth0", "00000000", "0002", "100", "00000000"), none, up, f, ""},
            {"interface down", kHeader + kEthDefault, none, "down", f, ""},
            {"unknown, flags up", kHeader + kEthDefault, none, "unknown", "0x1091", "eth0"},
            {"ipv6 default", kHeader + kEthSubnet, v6(kZero, "00", "00450003", "eth0"), up, f, "eth0"},
            {"ipv6 link-local only", kHeader, v6("fe80" + kZero.left(28), "40", "00000001", "eth0"), up, f, ""},
            {"garbage", "\x01 x\n\n\t\n", "zz\n", up, f, ""},
        };
        for (const auto& c : cases) {
            Net net;
            if (!c.ipv4.isEmpty())
                net.write("net/route", c.ipv4);
            if (!c.ipv6.isEmpty())
                net.write("net/ipv6_route", c.ipv6);
            net.link("eth0", c.state, c.flags);
            net.link("lo", "unknown", "0x9");
            QString name = QStringLiteral("stale");
            QVERIFY2(net.probe().isConnected(&name) == !c.expected.isEmpty(), c.name);
            QCOMPARE(name, c.expected);
        }
    }

    void picksAnUpInterfaceByMetric() {
        Net net;
        net.write("net/route", kHeader + kEthDefault + v4("wlan0", "00000000", "0003", "600", "00000000"));
        net.link("eth0", "down");
        net.link("wlan0", "up");
        auto probe = net.probe();
        QString name;
        QVERIFY(probe.isConnected(&name));
        QCOMPARE(name, QStringLiteral("wlan0"));
        net.link("eth0", "up"); // seen on the very next call, and preferred for its metric
        QVERIFY(probe.isConnected(&name) && name == QStringLiteral("eth0"));
    }

    void environmentForcesTheAnswer() {
        Net online, offline;
        online.write("net/route", kHeader + kEthDefault);
        online.link("eth0", "up");
        qputenv("VANTOBEL_TRAY_ONLINE", "0");
        QVERIFY(!online.probe().isConnected());
        qputenv("VANTOBEL_TRAY_ONLINE", "1");
        QVERIFY(offline.probe().isConnected());
        qunsetenv("VANTOBEL_TRAY_ONLINE");
    }
};

VT_TEST(TestConnectionProbe)
#include "test_connectionprobe.moc"
