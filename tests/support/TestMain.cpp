// The main of the unit and widget test executables: `unit_tests test_texts [Qt Test
// arguments]` runs one test file's class; without a name every class runs in turn.
#include "TestMain.h"

#include <QTest>

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
    // The first argument names a test file, or is already one of Qt Test's options.
    const QString wanted = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : QString();
    std::vector<char*> args{argv[0]};
    for (int i = wanted.isEmpty() ? 1 : 2; i < argc; ++i)
        args.push_back(argv[i]);
    bool found = false;
    int failed = 0;
    for (const TestClass& test : testClasses()) {
        if (!wanted.isEmpty() && test.name != wanted)
            continue;
        found = true;
        const std::unique_ptr<QObject> object = test.make();
        failed += QTest::qExec(object.get(), int(args.size()), args.data()) != 0;
    }
    if (!found)
        qWarning("no test named %s", qPrintable(wanted));
    return found && failed == 0 ? 0 : 1;
}
