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
    // Two or more unread notices show the unread look; one alone leaves the normal look.
    void unreadLookEvery300Ticks() {
        Rig r;
        r.run(299);
        QVERIFY(r.icon.isEmpty() && r.reads == 0);
        for (const qint64 unread : {1, 2, 0}) {
            r.unread = [unread] { return unread; };
            r.run(r.looks().isEmpty() ? 1 : 300);
        }
        QCOMPARE(r.looks(),
                 QList<TrayIconState>({TrayIconState::Normal, TrayIconState::Unread, TrayIconState::Normal}));
        QCOMPARE(r.reads, 3);
    }

    void offlineGapKeepsTheOfflineLookUntilTheNextRefresh() {
        Rig r;
        const auto online = [](qint32 tick) { return tick < 450 || tick >= 460; };
        r.run(599, online);
        // Tick 300 normal, ticks 450..459 offline, then nothing: the offline look stays.
        QCOMPARE(r.looks(),
                 QList<TrayIconState>{TrayIconState::Normal} + QList<TrayIconState>(10, TrayIconState::Offline));
        QVERIFY(r.watch.noticeTimer().isActive());
        r.run(1, online);
        QCOMPARE(r.looks().last(), TrayIconState::Normal);
        QCOMPARE(r.icon.count(), 12);

        // Offline through tick 900: only the offline look, no unread refresh on the multiple of 300.
        r.run(300, [](qint32) { return false; });
        QCOMPARE(r.icon.count(), 312);
        QCOMPARE(r.looks().last(), TrayIconState::Offline);
    }

    void noticeTicksCountOnlyOnlineSecondsAcrossGaps() {
        Rig r;
        r.download = [&] { return r.downloads == 2; }; // the second download finds a notice
        // 130 offline seconds in three gaps before the 600th online second.
        const auto online = [](qint32 tick) {
            return !((tick > 100 && tick <= 150) || (tick > 300 && tick <= 370) || (tick > 500 && tick <= 510));
        };
        r.run(729, online);
        QVERIFY(r.watch.noticeTicks() == 599 && r.downloads == 0);
        r.run(1, online);
        QVERIFY(r.watch.noticeTicks() == 600 && r.downloads == 1 && r.notices.isEmpty());
        r.run(600, online);
        QVERIFY(r.downloads == 2 && r.notices.count() == 1);
    }

    void failingStepsDoNotStopTheTicks() {
        Rig r;
        // The first read and the first download throw.
        r.unread = [&]() -> qint64 { return r.reads == 1 ? throw std::runtime_error("locked") : 3; };
        r.download = [&]() -> bool { return r.downloads == 1 ? throw VbError(VbError::FileNotFound) : true; };
        r.run(600);
        // The failed read at 300 changed nothing; the read at 600 worked.
        QCOMPARE(r.looks(), QList<TrayIconState>{TrayIconState::Unread});
        QVERIFY(r.reads == 2 && r.downloads == 1 && r.notices.isEmpty());
        r.run(600);
        QVERIFY(r.watch.noticeTicks() == 1200 && r.downloads == 2 && r.notices.count() == 1);

        // A probe that fails counts as offline: the offline look, the notice clock stops.
        r.probe.fail = true;
        r.watch.onConnectTick();
        QVERIFY(!r.watch.noticeTimer().isActive());
        QCOMPARE(r.looks().last(), TrayIconState::Offline);
        QCOMPARE(r.watch.connectTicks(), 1201);
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
