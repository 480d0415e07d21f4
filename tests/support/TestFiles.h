#pragma once

// Small helpers shared by the unit tests: files written and read whole, and the
// error number a call throws.

#include "VbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Writes `bytes` to `path`, making its folder; false when it cannot.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The error number a call throws, 0 when it does not throw.
template <typename F> int errorOf(F&& call) {
    try {
        call();
    } catch (const VbError& e) {
        return e.number();
    }
    return 0;
}
