// The main of the unit and widget test executables: `unit_tests test_texts [Qt Test
// arguments]` runs one test file's class, `unit_tests someTestFunction` the classes
// that have it, and with neither every class runs in turn.
#include "TestMain.h"

#include <QTest>

#include <algorithm>

#ifdef VT_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

int main(int argc, char** argv) {
#ifdef VT_TEST_GUI
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
#else
    QCoreApplication app(argc, argv);
#endif
    // The first argument names a test file, a test function, or neither (an option).
    const QString wanted = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto& all = testClasses();
    const bool fileNamed = std::any_of(all.begin(), all.end(), [&](const TestClass& t) { return t.name == wanted; });
    bool found = false;
    int failed = 0;
    for (const TestClass& test : all) {
        if (fileNamed ? test.name != wanted
                      : !wanted.isEmpty() && test.meta->indexOfMethod(QByteArray(wanted.toLatin1() + "()")) < 0)
            continue;
        found = true;
        std::vector<char*> args{argv[0]};
        for (int i = fileNamed ? 2 : 1; i < argc; ++i)
            args.push_back(argv[i]);
        const std::unique_ptr<QObject> object = test.make();
        failed += QTest::qExec(object.get(), int(args.size()), args.data()) != 0;
    }
    if (!found)
        qWarning("no test named %s", qPrintable(wanted));
    return found && failed == 0 ? 0 : 1;
}
