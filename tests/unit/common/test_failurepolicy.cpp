#include "FailurePolicy.h"
#include "TestMain.h"

#include <QTest>

#include <functional>
#include <stdexcept>

namespace {
// Every line written while a test runs, as "category type: text".
QStringList g_lines;
void capture(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    g_lines << QStringLiteral("%1 %2: %3").arg(QString::fromUtf8(context.category)).arg(int(type)).arg(text);
}
void debugOn(bool on) {
    QLoggingCategory::setFilterRules(on ? QStringLiteral("vantobel.*.debug=true")
                                        : QStringLiteral("vantobel.*.debug=false"));
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
    QtMessageHandler m_previous = nullptr;

private Q_SLOTS:
    void init() {
        g_lines.clear();
        m_previous = qInstallMessageHandler(capture);
        debugOn(true);
    }
    void cleanup() { qInstallMessageHandler(m_previous); }

    // Each failed step leaves one debug line under the caller's category, and the
    // routine goes on with its next step.
    void resumeNextNotesEveryKindOfFailure() {
        const std::pair<std::function<void()>, QString> kinds[] = {
            {[] { throw VbError(VbError::NoApplicationResponded); }, "error 282"},
            {[] { throw VbError(VbError::FileNotFound, QStringLiteral("no Sys.ini")); }, "error 53: no Sys.ini"},
            {[] { throw std::runtime_error("disk gone"); }, "disk gone"},
            {[] { throw 7; }, "an unknown failure"},
        };
        for (const auto& [body, cause] : kinds) {
            g_lines.clear();
            bool after = false;
            resumeNext(lcPopup, "open the notice", body);
            resumeNext(lcPopup, "the next step", [&] { after = true; });
            QVERIFY(after);
            QCOMPARE(
                g_lines,
                QStringList{
                    QStringLiteral("vantobel.popup %1: open the notice failed: %2").arg(int(QtDebugMsg)).arg(cause)});
        }
    }

    void jumpToHandlerReturnsTheNumber() {
        QCOMPARE(jumpToHandler(lcLink, "send", [] {}), 0);
        QCOMPARE(jumpToHandler(lcLink, "send", [] { throw VbError(VbError::LinkTimeout); }), 286);
        // A failure without a number counts as an invalid call.
        QCOMPARE(jumpToHandler(lcLink, "send", [] { throw std::logic_error("x"); }), 5);
        QCOMPARE(g_lines.size(), 2);
        QCOMPARE(g_lines[0], QStringLiteral("vantobel.link %1: send failed: error 286").arg(int(QtDebugMsg)));

        // With debug output off the failures stay silent.
        g_lines.clear();
        debugOn(false);
        resumeNext(lcStore, "copy the template", [] { throw VbError(VbError::PermissionDenied); });
        QCOMPARE(jumpToHandler(lcStore, "read", [] { throw VbError(VbError::PathNotFound); }), 76);
        QVERIFY(g_lines.isEmpty());
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
        QCOMPARE(g_lines,
                 QStringList{QStringLiteral("vantobel.tray %1: take the value failed: error 13").arg(int(QtDebugMsg))});
    }
};

VT_TEST(TestFailurePolicy)
#include "test_failurepolicy.moc"
