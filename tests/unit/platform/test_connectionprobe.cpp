#include "ConnectionProbe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* kRouteHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const char* kEthDefault = "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
const char* kEthSubnet = "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
const char* kWlanDefault = "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";
const char* kLoDefault = "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n";
const char* kEthDefaultNotUp = "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n";

const char* kV6Zero = "00000000000000000000000000000000";
QByteArray v6Route(const char* dest, const char* prefix, const char* flags, const char* iface) {
    return QByteArray(dest) + " " + prefix + " " + kV6Zero +
           " 00 fe800000000000000000000000000001 00000400 00000001 "
           "00000000 " +
           flags + " " + iface + "\n";
}

// A fake /proc/net and /sys/class/net in a temporary folder.
class NetFixture {
public:
    NetFixture() { QDir().mkpath(m_dir.path() + "/net"); }
    QString procNet() const { return m_dir.path() + "/net"; }
    QString sysNet() const { return m_dir.path() + "/sys"; }
    void write(const QString& relative, const QByteArray& data) const {
        const QString path = m_dir.path() + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    void interface(const QString& name, const QByteArray& operstate, const QByteArray& flags = "0x1003") const {
        write("sys/" + name + "/operstate", operstate + "\n");
        write("sys/" + name + "/flags", flags + "\n");
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

class TestConnectionProbe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { qunsetenv("VANTOBEL_TRAY_ONLINE"); }
    void cleanup() { qunsetenv("VANTOBEL_TRAY_ONLINE"); }

    void routes_data() {
        QTest::addColumn<QByteArray>("ipv4");
        QTest::addColumn<QByteArray>("ipv6");
        QTest::addColumn<QByteArray>("ethState");
        QTest::addColumn<QByteArray>("ethFlags");
        QTest::addColumn<QString>("expected"); // interface name, empty = offline

        const QByteArray v4 = kRouteHeader;
        const QByteArray ethSubnetOnly = v4 + kEthSubnet;
        QTest::newRow("ipv4 default up") << v4 + kEthSubnet + kEthDefault << QByteArray() << QByteArray("up")
                                         << QByteArray("0x1003") << "eth0";
        QTest::newRow("only a subnet route")
            << ethSubnetOnly << QByteArray() << QByteArray("up") << QByteArray("0x1003") << "";
        QTest::newRow("only lo") << v4 + kLoDefault << v6Route(kV6Zero, "00", "00200200", "lo") << QByteArray("up")
                                 << QByteArray("0x1003") << "";
        QTest::newRow("route without RTF_UP")
            << v4 + kEthDefaultNotUp << QByteArray() << QByteArray("up") << QByteArray("0x1003") << "";
        QTest::newRow("interface down") << v4 + kEthDefault << QByteArray() << QByteArray("down")
                                        << QByteArray("0x1003") << "";
        QTest::newRow("no carrier") << v4 + kEthDefault << QByteArray() << QByteArray("lowerlayerdown")
                                    << QByteArray("0x1003") << "";
        QTest::newRow("unknown state, flags up")
            << v4 + kEthDefault << QByteArray() << QByteArray("unknown") << QByteArray("0x1091") << "eth0";
        QTest::newRow("unknown state, flags down")
            << v4 + kEthDefault << QByteArray() << QByteArray("unknown") << QByteArray("0x1002") << "";
        QTest::newRow("ipv6 default only") << ethSubnetOnly << v6Route(kV6Zero, "00", "00450003", "eth0")
                                           << QByteArray("up") << QByteArray("0x1003") << "eth0";
        QTest::newRow("ipv6 non-default only")
            << ethSubnetOnly << v6Route("fe800000000000000000000000000000", "40", "00000001", "eth0")
            << QByteArray("up") << QByteArray("0x1003") << "";
        QTest::newRow("ipv6 reject route") << ethSubnetOnly << v6Route(kV6Zero, "00", "00000201", "eth0")
                                           << QByteArray("up") << QByteArray("0x1003") << "";
        QTest::newRow("no route files") << QByteArray() << QByteArray() << QByteArray("up") << QByteArray("0x1003")
                                        << "";
        QTest::newRow("garbage") << QByteArray("\x01\x02 nonsense\n\n\t\t\n") << QByteArray("zz yy\n")
                                 << QByteArray("up") << QByteArray("0x1003") << "";
    }
    void routes() {
        QFETCH(QByteArray, ipv4);
        QFETCH(QByteArray, ipv6);
        QFETCH(QByteArray, ethState);
        QFETCH(QByteArray, ethFlags);
        QFETCH(QString, expected);
        NetFixture net;
        if (!ipv4.isEmpty())
            net.write("net/route", ipv4);
        if (!ipv6.isEmpty())
            net.write("net/ipv6_route", ipv6);
        net.interface("eth0", ethState, ethFlags);
        net.interface("lo", "unknown", "0x9");

        LinuxConnectionProbe probe(net.procNet(), net.sysNet());
        QString name = QStringLiteral("stale");
        QCOMPARE(probe.isConnected(&name), !expected.isEmpty());
        QCOMPARE(name, expected);
        QCOMPARE(probe.isConnected(), !expected.isEmpty());
    }

    void prefersAnInterfaceThatIsUp() {
        NetFixture net;
        net.write("net/route", QByteArray(kRouteHeader) + kEthDefault + kWlanDefault);
        net.interface("eth0", "down");
        net.interface("wlan0", "up");
        LinuxConnectionProbe probe(net.procNet(), net.sysNet());
        QString name;
        QVERIFY(probe.isConnected(&name));
        QCOMPARE(name, QStringLiteral("wlan0"));

        // Both up: the lower metric wins, and the probe sees the change on its next call.
        net.interface("eth0", "up");
        QVERIFY(probe.isConnected(&name));
        QCOMPARE(name, QStringLiteral("eth0"));
    }

    void environmentForcesTheAnswer() {
        NetFixture net;
        net.write("net/route", QByteArray(kRouteHeader) + kEthDefault);
        net.interface("eth0", "up");
        LinuxConnectionProbe online(net.procNet(), net.sysNet());
        qputenv("VANTOBEL_TRAY_ONLINE", "0");
        QString name = QStringLiteral("stale");
        QVERIFY(!online.isConnected(&name));
        QVERIFY(name.isEmpty());

        NetFixture empty;
        LinuxConnectionProbe offline(empty.procNet(), empty.sysNet());
        qputenv("VANTOBEL_TRAY_ONLINE", "1");
        QVERIFY(offline.isConnected(&name));
        QVERIFY(!name.isEmpty());

        // Any other value leaves the decision to the routes.
        qputenv("VANTOBEL_TRAY_ONLINE", "yes");
        QVERIFY(!offline.isConnected());
        QVERIFY(online.isConnected());
    }
};

QTEST_GUILESS_MAIN(TestConnectionProbe)
#include "test_connectionprobe.moc"
