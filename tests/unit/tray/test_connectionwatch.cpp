#include "ConnectionProbe.h"
#include "ConnectionWatch.h"
#include "VbError.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <stdexcept>

Q_DECLARE_METATYPE(TrayIconState)

namespace {

class FakeProbe : public ConnectionProbe {
public:
    bool isConnected(QString* name) override {
        ++queries;
        if (fail)
            throw VbError(VbError::InvalidArgument);
        if (name && online)
            *name = QStringLiteral("eth0");
        return online;
    }
    bool online = true;
    bool fail = false;
    int queries = 0;
};

// One second of the host: the connection tick, then the notice tick when the
// connection tick left the notice timer running (as the two one-second timers do).
void runSeconds(ConnectionWatch& watch, FakeProbe& probe, int seconds,
                const std::function<bool(qint32 tick)>& onlineAt = {}) {
    for (int i = 0; i < seconds; ++i) {
        if (onlineAt)
            probe.online = onlineAt(watch.connectTicks() + 1);
        watch.onConnectTick();
        if (watch.noticeTimer().isActive())
            watch.onNoticeTick();
    }
}

QList<TrayIconState> states(const QSignalSpy& spy) {
    QList<TrayIconState> out;
    for (const auto& args : spy)
        out.append(args.at(0).value<TrayIconState>());
    return out;
}

} // namespace

class TestConnectionWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { qunsetenv("VANTOBEL_TRAY_TICK_MS"); }
    void cleanup() { qunsetenv("VANTOBEL_TRAY_TICK_MS"); }

    void tickIntervalComesFromTheEnvironment() {
        QCOMPARE(ConnectionWatch::tickIntervalMs(), 1000);
        qputenv("VANTOBEL_TRAY_TICK_MS", "5");
        QCOMPARE(ConnectionWatch::tickIntervalMs(), 5);
        for (const char* bad : {"0", "-3", "abc", ""}) {
            qputenv("VANTOBEL_TRAY_TICK_MS", bad);
            QCOMPARE(ConnectionWatch::tickIntervalMs(), 1000);
        }

        qputenv("VANTOBEL_TRAY_TICK_MS", "7");
        FakeProbe probe;
        ConnectionWatch watch(
            probe, [] { return 0; }, [] { return false; });
        QCOMPARE(watch.connectionTimer().interval(), 7);
        QCOMPARE(watch.noticeTimer().interval(), 0);
        QVERIFY(!watch.noticeTimer().isActive());
        watch.onConnectTick();
        QCOMPARE(watch.noticeTimer().interval(), 7);
        QVERIFY(watch.noticeTimer().isActive());
    }

    void offlineFromTheStartShowsOfflineOnEveryTick() {
        FakeProbe probe;
        probe.online = false;
        int unreadReads = 0;
        ConnectionWatch watch(
            probe, [&] { return ++unreadReads, qint64(5); }, [] { return true; });
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);
        QSignalSpy notices(&watch, &ConnectionWatch::newNoticeAvailable);

        runSeconds(watch, probe, 900);

        QCOMPARE(icon.count(), 900);
        QVERIFY(states(icon).count(TrayIconState::Offline) == 900);
        QVERIFY(!watch.noticeTimer().isActive());
        QCOMPARE(watch.connectTicks(), 900);
        QCOMPARE(watch.noticeTicks(), 0);
        QCOMPARE(unreadReads, 0);
        QCOMPARE(notices.count(), 0);
    }

    void unreadLookAtTick300_data() {
        QTest::addColumn<qint64>("unread");
        QTest::addColumn<TrayIconState>("look");
        QTest::newRow("none") << qint64(0) << TrayIconState::Normal;
        QTest::newRow("one unread stays normal") << qint64(1) << TrayIconState::Normal;
        QTest::newRow("two unread") << qint64(2) << TrayIconState::Unread;
        QTest::newRow("many unread") << qint64(40) << TrayIconState::Unread;
    }

    void unreadLookAtTick300() {
        QFETCH(qint64, unread);
        QFETCH(TrayIconState, look);
        FakeProbe probe;
        int reads = 0;
        ConnectionWatch watch(
            probe, [&] { return ++reads, unread; }, [] { return false; });
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);

        runSeconds(watch, probe, 299);
        QCOMPARE(icon.count(), 0);
        QCOMPARE(reads, 0);

        runSeconds(watch, probe, 1);
        QCOMPARE(reads, 1);
        QCOMPARE(states(icon), QList<TrayIconState>{look});

        runSeconds(watch, probe, 300);
        QCOMPARE(reads, 2);
        QCOMPARE(icon.count(), 2);
    }

    void offlineGapKeepsTheOfflineLookUntilTheNextRefresh() {
        FakeProbe probe;
        ConnectionWatch watch(
            probe, [] { return qint64(0); }, [] { return false; });
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);
        const auto online = [](qint32 tick) { return tick < 450 || tick >= 460; };

        runSeconds(watch, probe, 599, online);
        // Tick 300 normal, ticks 450..459 offline, then nothing: the offline look stays.
        QList<TrayIconState> expected{TrayIconState::Normal};
        for (int i = 0; i < 10; ++i)
            expected.append(TrayIconState::Offline);
        QCOMPARE(states(icon), expected);
        QVERIFY(watch.noticeTimer().isActive());

        runSeconds(watch, probe, 1, online);
        QCOMPARE(states(icon).last(), TrayIconState::Normal);
        QCOMPARE(icon.count(), 12);
    }

    void noticeTicksCountOnlyOnlineSecondsAcrossGaps() {
        FakeProbe probe;
        int downloads = 0;
        // The first download finds nothing new, the second finds a notice.
        ConnectionWatch watch(
            probe, [] { return qint64(0); }, [&] { return ++downloads == 2; });
        QSignalSpy notices(&watch, &ConnectionWatch::newNoticeAvailable);
        // 130 offline seconds in three gaps before the 600th online second.
        const auto online = [](qint32 tick) {
            return !((tick > 100 && tick <= 150) || (tick > 300 && tick <= 370) || (tick > 500 && tick <= 510));
        };

        runSeconds(watch, probe, 729, online);
        QCOMPARE(watch.noticeTicks(), 599);
        QCOMPARE(downloads, 0);

        runSeconds(watch, probe, 1, online);
        QCOMPARE(watch.connectTicks(), 730);
        QCOMPARE(watch.noticeTicks(), 600);
        QCOMPARE(downloads, 1);
        QCOMPARE(notices.count(), 0);

        runSeconds(watch, probe, 600, online);
        QCOMPARE(downloads, 2);
        QCOMPARE(notices.count(), 1);
    }

    void failingStepsDoNotStopTheTicks() {
        FakeProbe probe;
        int downloads = 0;
        int reads = 0;
        ConnectionWatch watch(
            probe,
            [&]() -> qint64 {
                if (++reads == 1)
                    throw std::runtime_error("database locked");
                return 3;
            },
            [&]() -> bool {
                if (++downloads == 1)
                    throw VbError(VbError::FileNotFound);
                return true;
            });
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);
        QSignalSpy notices(&watch, &ConnectionWatch::newNoticeAvailable);

        runSeconds(watch, probe, 600);
        // The failed read at 300 changed nothing; the read at 600 worked.
        QCOMPARE(reads, 2);
        QCOMPARE(states(icon), QList<TrayIconState>{TrayIconState::Unread});
        QCOMPARE(downloads, 1);
        QCOMPARE(notices.count(), 0);

        runSeconds(watch, probe, 600);
        QCOMPARE(watch.noticeTicks(), 1200);
        QCOMPARE(downloads, 2);
        QCOMPARE(notices.count(), 1);
    }

    void failingProbeCountsAsOffline() {
        FakeProbe probe;
        ConnectionWatch watch(
            probe, [] { return qint64(0); }, [] { return false; });
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);
        runSeconds(watch, probe, 3);
        QVERIFY(watch.noticeTimer().isActive());

        probe.fail = true;
        QString name = QStringLiteral("stale");
        QVERIFY(!watch.QueryConnection(&name));
        QCOMPARE(watch.ConnectionState(), QVariantList{false});
        watch.onConnectTick();
        QVERIFY(!watch.noticeTimer().isActive());
        QCOMPARE(states(icon), QList<TrayIconState>{TrayIconState::Offline});
        QCOMPARE(watch.connectTicks(), 4);

        probe.fail = false;
        QVERIFY(watch.QueryConnection(&name));
        QCOMPARE(name, QStringLiteral("eth0"));
    }

    void realTimersDriveBothCounters() {
        qputenv("VANTOBEL_TRAY_TICK_MS", "1");
        FakeProbe probe;
        ConnectionWatch watch(
            probe, [] { return qint64(0); }, [] { return false; });
        watch.start();
        QTRY_VERIFY_WITH_TIMEOUT(watch.noticeTicks() >= 30, 10000);
        QVERIFY(watch.connectTicks() >= watch.noticeTicks());

        probe.online = false;
        QTRY_VERIFY_WITH_TIMEOUT(!watch.noticeTimer().isActive(), 5000);
        const qint32 atStop = watch.noticeTicks();
        const qint32 connectBefore = watch.connectTicks();
        QTRY_VERIFY_WITH_TIMEOUT(watch.connectTicks() >= connectBefore + 20, 10000);
        QCOMPARE(watch.noticeTicks(), atStop);
    }
};

QTEST_GUILESS_MAIN(TestConnectionWatch)
#include "test_connectionwatch.moc"
