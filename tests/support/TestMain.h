#pragma once

// Every test class of an executable registers itself with VT_TEST under its file's
// name; TestMain.cpp runs the one named first on the command line (each CTest test is
// one class in a process of its own), or all of them.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

struct TestClass {
    QString name;
    std::function<std::unique_ptr<QObject>()> make;
};

inline std::vector<TestClass>& testClasses() {
    static std::vector<TestClass> all;
    return all;
}

inline bool registerTest(const char* file, std::function<std::unique_ptr<QObject>()> make) {
    const QString path = QString::fromUtf8(file);
    const QString base = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    testClasses().push_back({base.left(base.lastIndexOf(QLatin1Char('.'))), std::move(make)});
    return true;
}

#define VT_TEST(Class)                                                                                                 \
    [[maybe_unused]] static const bool vtRegistered##Class =                                                           \
        registerTest(__FILE__, [] { return std::unique_ptr<QObject>(new Class); });
