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
    // routine goes on with its next step; a handler gets the error number (a failure
    // without one counts as an invalid call).
    void everyKindOfFailureIsNotedAndNumbered() {
        const std::tuple<std::function<void()>, QString, int> kinds[] = {
            {[] { throw VbError(VbError::NoApplicationResponded); }, "error 282", 282},
            {[] { throw VbError(VbError::FileNotFound, QStringLiteral("no Sys.ini")); }, "error 53: no Sys.ini", 53},
            {[] { throw std::runtime_error("disk gone"); }, "disk gone", 5},
            {[] { throw 7; }, "an unknown failure", 5},
        };
        const auto line = [](const char* category, const QString& what) {
            return QStringLiteral("vantobel.%1 %2: %3").arg(category).arg(int(QtDebugMsg)).arg(what);
        };
        for (const auto& [body, cause, number] : kinds) {
            g_lines.clear();
            bool after = false;
            resumeNext(lcPopup, "open the notice", body);
            resumeNext(lcPopup, "the next step", [&] { after = true; });
            QCOMPARE(jumpToHandler(lcLink, "send", body), number);
            QVERIFY(after);
            QCOMPARE(g_lines, QStringList({line("popup", "open the notice failed: " + cause),
                                           line("link", "send failed: " + cause)}));
        }
        QCOMPARE(jumpToHandler(lcLink, "send", [] {}), 0);

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
