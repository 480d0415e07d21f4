#include "ConnectionWatch.h"
#include "Seams.h"
#include "TestMain.h"
#include "VbError.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <stdexcept>

Q_DECLARE_METATYPE(TrayIconState)

namespace {

class FakeProbe : public ConnectionProbe {
public:
    bool isConnected(QString*) override {
        if (fail)
            throw VbError(VbError::InvalidArgument);
        return online;
    }
    bool online = true;
    bool fail = false;
};

// A watch whose unread count and download are set per test, counting their calls.
struct Rig {
    FakeProbe probe;
    std::function<qint64()> unread = [] { return qint64(0); };
    std::function<bool()> download = [] { return false; };
    int reads = 0;
    int downloads = 0;
    ConnectionWatch watch{probe, [this] { return ++reads, unread(); }, [this] { return ++downloads, download(); }};
    QSignalSpy icon{&watch, &ConnectionWatch::iconStateRequested};
    QSignalSpy notices{&watch, &ConnectionWatch::newNoticeAvailable};

    // Seconds of the host: the connection tick, then the notice tick when the connection
    // tick left the notice timer running (as the two one-second timers do).
    void run(int seconds, const std::function<bool(qint32 tick)>& onlineAt = {}) {
        for (int i = 0; i < seconds; ++i) {
            if (onlineAt)
                probe.online = onlineAt(watch.connectTicks() + 1);
            watch.onConnectTick();
            if (watch.noticeTimer().isActive())
                watch.onNoticeTick();
        }
    }
    QList<TrayIconState> looks() const {
        QList<TrayIconState> out;
        for (const auto& args : icon)
            out.append(args.at(0).value<TrayIconState>());
        return out;
    }
};

} // namespace

class TestConnectionWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every 300th online tick reads the unread count: two or more unread notices show
    // the unread look, one alone the normal look, and a failed read changes nothing.
    // Each offline tick shows the offline look and stops the notice clock; a probe that
    // fails counts as offline.
    void looks() {
        Rig r;
        r.unread = [&]() -> qint64 { return r.reads == 4 ? throw std::runtime_error("locked") : r.reads - 1; };
        const auto online = [](qint32 tick) { return tick < 1050 || tick >= 1060; };
        r.run(1199, online);
        // Ticks 300, 600, 900 with 0, 1, 2 unread; 1050..1059 offline; the read at 1200 fails.
        QCOMPARE(r.looks(),
                 QList<TrayIconState>({TrayIconState::Normal, TrayIconState::Normal, TrayIconState::Unread}) +
                     QList<TrayIconState>(10, TrayIconState::Offline));
        QVERIFY(r.watch.noticeTimer().isActive());
        r.run(301, online);
        QCOMPARE(r.icon.count(), 14);
        QCOMPARE(r.looks().last(), TrayIconState::Unread);
        QCOMPARE(r.reads, 5);

        // Offline through tick 1800: only the offline look, no unread refresh on the multiple of 300.
        r.run(300, [](qint32) { return false; });
        QVERIFY(r.icon.count() == 314 && r.reads == 5 && !r.watch.noticeTimer().isActive());
        r.run(1, [](qint32) { return true; });
        r.probe.fail = true;
        r.watch.onConnectTick();
        QVERIFY(!r.watch.noticeTimer().isActive() && r.icon.count() == 315);
        QCOMPARE(r.looks().last(), TrayIconState::Offline);
        QCOMPARE(r.watch.connectTicks(), 1802);
    }

    // The notice clock counts online seconds only, across gaps; a download every 600th,
    // a failed one leaving the ticks going.
    void downloadsEvery600OnlineSeconds() {
        Rig r;
        // The first download throws; the third finds a notice.
        r.download = [&]() -> bool {
            return r.downloads == 1 ? throw VbError(VbError::FileNotFound) : r.downloads == 3;
        };
        // 130 offline seconds in three gaps before the 600th online second.
        const auto online = [](qint32 tick) {
            return !((tick > 100 && tick <= 150) || (tick > 300 && tick <= 370) || (tick > 500 && tick <= 510));
        };
        r.run(729, online);
        QVERIFY(r.watch.noticeTicks() == 599 && r.downloads == 0);
        r.run(1, online);
        QVERIFY(r.watch.noticeTicks() == 600 && r.downloads == 1 && r.notices.isEmpty());
        r.run(1200, online);
        QVERIFY(r.watch.noticeTicks() == 1800 && r.downloads == 3 && r.notices.count() == 1);
    }

    // The benchmark's knob shortens the download period alone; a value that is no
    // positive number leaves the 600 ticks.
    void pollTicksFromTheEnvironment() {
        for (const auto& [value, period] : {std::pair{"3", 3}, {"0", 600}, {"soon", 600}}) {
            qputenv("VANTOBEL_TRAY_POLL_TICKS", value);
            Rig r;
            qunsetenv("VANTOBEL_TRAY_POLL_TICKS");
            r.download = [] { return true; };
            r.run(period - 1);
            QCOMPARE(r.downloads, 0);
            r.run(period + 1);
            QVERIFY2(r.downloads == 2 && r.notices.count() == 2, value);
        }
    }
};

VT_TEST(TestConnectionWatch)
#include "test_connectionwatch.moc"
