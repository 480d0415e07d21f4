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
    void unreadLookAtTick300_data() {
        QTest::addColumn<qint64>("unread");
        QTest::addColumn<TrayIconState>("look");
        QTest::newRow("none") << qint64(0) << TrayIconState::Normal;
        QTest::newRow("one unread stays normal") << qint64(1) << TrayIconState::Normal;
        QTest::newRow("two unread") << qint64(2) << TrayIconState::Unread;
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
        QVERIFY(icon.isEmpty() && reads == 0);
        runSeconds(watch, probe, 1);
        QCOMPARE(states(icon), QList<TrayIconState>{look});
        QCOMPARE(reads, 1);
    }

    void offlineGapKeepsTheOfflineLookUntilTheNextRefresh() {
        FakeProbe probe;
        ConnectionWatch watch(
            probe, [] { return qint64(0); }, [] { return false; });
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);
        const auto online = [](qint32 tick) { return tick < 450 || tick >= 460; };

        runSeconds(watch, probe, 599, online);
        // Tick 300 normal, ticks 450..459 offline, then nothing: the offline look stays.
        QCOMPARE(states(icon),
                 QList<TrayIconState>{TrayIconState::Normal} + QList<TrayIconState>(10, TrayIconState::Offline));
        QVERIFY(watch.noticeTimer().isActive());

        runSeconds(watch, probe, 1, online);
        QCOMPARE(states(icon).last(), TrayIconState::Normal);
        QCOMPARE(icon.count(), 12);

        // Offline through tick 900: only the offline look, no unread refresh on the multiple of 300.
        runSeconds(watch, probe, 300, [](qint32) { return false; });
        QCOMPARE(icon.count(), 312);
        QCOMPARE(states(icon).last(), TrayIconState::Offline);
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
        QVERIFY(watch.noticeTicks() == 599 && downloads == 0);
        runSeconds(watch, probe, 1, online);
        QVERIFY(watch.noticeTicks() == 600 && downloads == 1 && notices.isEmpty());

        runSeconds(watch, probe, 600, online);
        QVERIFY(downloads == 2 && notices.count() == 1);
    }

    void failingStepsDoNotStopTheTicks() {
        FakeProbe probe;
        int reads = 0;
        int downloads = 0;
        // The first read and the first download throw.
        const auto read = [&]() -> qint64 { return ++reads == 1 ? throw std::runtime_error("locked") : 3; };
        const auto download = [&]() -> bool { return ++downloads == 1 ? throw VbError(VbError::FileNotFound) : true; };
        ConnectionWatch watch(probe, read, download);
        QSignalSpy icon(&watch, &ConnectionWatch::iconStateRequested);
        QSignalSpy notices(&watch, &ConnectionWatch::newNoticeAvailable);

        runSeconds(watch, probe, 600);
        // The failed read at 300 changed nothing; the read at 600 worked.
        QCOMPARE(states(icon), QList<TrayIconState>{TrayIconState::Unread});
        QVERIFY(reads == 2 && downloads == 1 && notices.isEmpty());

        runSeconds(watch, probe, 600);
        QVERIFY(watch.noticeTicks() == 1200 && downloads == 2 && notices.count() == 1);

        // A probe that fails counts as offline: the offline look, the notice clock stops.
        probe.fail = true;
        watch.onConnectTick();
        QVERIFY(!watch.noticeTimer().isActive());
        QCOMPARE(states(icon).last(), TrayIconState::Offline);
        QCOMPARE(watch.connectTicks(), 1201);
    }

    // The benchmark's knob shortens the download period alone; a value that is no
    // positive number leaves the 600 ticks.
    void pollTicksFromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("period");
        QTest::newRow("three") << QByteArray("3") << 3;
        QTest::newRow("zero") << QByteArray("0") << 600;
        QTest::newRow("not a number") << QByteArray("soon") << 600;
    }

    void pollTicksFromTheEnvironment() {
        QFETCH(QByteArray, value);
        QFETCH(int, period);
        qputenv("VANTOBEL_TRAY_POLL_TICKS", value);
        FakeProbe probe;
        int downloads = 0;
        ConnectionWatch watch(
            probe, [] { return qint64(0); }, [&] { return ++downloads > 0; });
        qunsetenv("VANTOBEL_TRAY_POLL_TICKS");
        QSignalSpy notices(&watch, &ConnectionWatch::newNoticeAvailable);
        runSeconds(watch, probe, period - 1);
        QCOMPARE(downloads, 0);
        runSeconds(watch, probe, 1);
        runSeconds(watch, probe, period);
        QVERIFY(downloads == 2 && notices.count() == 2);
    }
};

VT_TEST(TestConnectionWatch)
#include "test_connectionwatch.moc"
