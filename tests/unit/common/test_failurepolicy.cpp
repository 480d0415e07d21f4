#include "FailurePolicy.h"
#include "TestMain.h"

#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {
struct Captured {
    QString category;
    QtMsgType type;
    QString text;
};
QList<Captured>* g_captured = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_captured)
        g_captured->append({QString::fromUtf8(context.category), type, text});
}
} // namespace

// A signal that hands an argument to its handlers, as a menu's triggered(bool) does.
class Emitter : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void fired(int value);
};

class TestFailurePolicy : public QObject {
    Q_OBJECT

    QList<Captured> m_lines;
    QtMessageHandler m_previous = nullptr;

    static void debugOn(bool on) {
        QLoggingCategory::setFilterRules(on ? QStringLiteral("vantobel.*.debug=true")
                                            : QStringLiteral("vantobel.*.debug=false"));
    }

private Q_SLOTS:
    void init() {
        m_lines.clear();
        g_captured = &m_lines;
        m_previous = qInstallMessageHandler(capture);
        debugOn(true);
    }
    void cleanup() {
        qInstallMessageHandler(m_previous);
        g_captured = nullptr;
    }

    void aFailedStepLeavesOneDebugLineAndTheRoutineGoesOn_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("numbered") << 0 << QStringLiteral("error 282");
        QTest::newRow("numbered with text") << 1 << QStringLiteral("error 53: no Sys.ini");
        QTest::newRow("standard") << 2 << QStringLiteral("disk gone");
        QTest::newRow("anything") << 3 << QStringLiteral("an unknown failure");
    }
    void aFailedStepLeavesOneDebugLineAndTheRoutineGoesOn() {
        QFETCH(int, kind);
        QFETCH(QString, cause);
        bool after = false;
        resumeNext(lcPopup, "open the notice", [kind] {
            switch (kind) {
            case 0:
                throw VbError(VbError::NoApplicationResponded);
            case 1:
                throw VbError(VbError::FileNotFound, QStringLiteral("no Sys.ini"));
            case 2:
                throw std::runtime_error("disk gone");
            default:
                throw 7;
            }
        });
        resumeNext(lcPopup, "the next step", [&] { after = true; });
        QVERIFY(after);
        QCOMPARE(m_lines.size(), 1);
        QCOMPARE(m_lines[0].category, QStringLiteral("vantobel.popup"));
        QCOMPARE(m_lines[0].type, QtDebugMsg);
        QCOMPARE(m_lines[0].text, QStringLiteral("open the notice failed: ") + cause);
    }

    void withDebugOffNothingIsWritten() {
        debugOn(false);
        resumeNext(lcStore, "copy the template", [] { throw VbError(VbError::PermissionDenied); });
        QCOMPARE(jumpToHandler(lcStore, "read", [] { throw VbError(VbError::PathNotFound); }), 76);
        QVERIFY(m_lines.isEmpty());
    }

    void jumpToHandlerReturnsTheNumberAndNotesIt() {
        QCOMPARE(jumpToHandler(lcLink, "send", [] {}), 0);
        QVERIFY(m_lines.isEmpty());
        QCOMPARE(jumpToHandler(lcLink, "send", [] { throw VbError(VbError::LinkTimeout); }), 286);
        // A failure without a number counts as an invalid call.
        QCOMPARE(jumpToHandler(lcLink, "send", [] { throw std::logic_error("x"); }), 5);
        QCOMPARE(m_lines.size(), 2);
        QCOMPARE(m_lines[0].category, QStringLiteral("vantobel.link"));
        QCOMPARE(m_lines[0].text, QStringLiteral("send failed: error 286"));
    }

    void aTrappedHandlerKeepsItsFailureFromTheEventLoop() {
        Emitter emitter;
        int seen = 0;
        int calls = 0;
        QObject::connect(&emitter, &Emitter::fired, &emitter, trapped(lcTray, "take the value", [&](int value) {
            seen = value;
            throw VbError(VbError::TypeMismatch);
        }));
        QObject::connect(&emitter, &Emitter::fired, &emitter, trapped(lcTray, "count", [&] { ++calls; }));
        // Queued, so the handler runs from the event loop as a menu click's would.
        QMetaObject::invokeMethod(
            &emitter, [&] { Q_EMIT emitter.fired(42); }, Qt::QueuedConnection);
        QTRY_COMPARE(calls, 1);
        QCOMPARE(seen, 42);
        QCOMPARE(m_lines.size(), 1);
        QCOMPARE(m_lines[0].text, QStringLiteral("take the value failed: error 13"));
    }
};

VT_TEST(TestFailurePolicy)
#include "test_failurepolicy.moc"
