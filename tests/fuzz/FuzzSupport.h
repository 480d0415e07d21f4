#pragma once

// Shared pieces of the fuzz targets: reading typed pieces out of the raw input and
// failing loudly when a property does not hold. Each target is built twice: with
// libFuzzer for `make fuzz`, and with replay_main.cpp to replay its corpus in CTest.

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Consumes the input from the front: single bytes, or fields ended by a NUL byte.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_bytes(reinterpret_cast<const char*>(data), qsizetype(size)) {}

    // The next byte, 0 once the input is used up.
    quint8 byte() { return m_pos < m_bytes.size() ? quint8(m_bytes.at(m_pos++)) : 0; }

    // The bytes up to the next NUL (which is consumed) or to the end.
    QByteArray field() {
        const qsizetype nul = m_bytes.indexOf('\0', m_pos);
        const QByteArray out = m_bytes.mid(m_pos, nul < 0 ? -1 : nul - m_pos);
        m_pos = nul < 0 ? m_bytes.size() : nul + 1;
        return out;
    }

    // A field as UTF-8 text (bad sequences become U+FFFD).
    QString text() { return QString::fromUtf8(field()); }

    // A field as raw UTF-16 code units, so that lone surrogates and NULs reach the code.
    QString utf16() {
        const QByteArray raw = field();
        QString out(raw.size() / 2, Qt::Uninitialized);
        std::memcpy(out.data(), raw.constData(), size_t(out.size()) * 2);
        return out;
    }

    QByteArray rest() {
        const QByteArray out = m_bytes.mid(m_pos);
        m_pos = m_bytes.size();
        return out;
    }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

// A file for the harnesses that write one for every input: in memory where there is
// such a folder.
inline QString fuzzScratchFile(const QString& name) {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/vt-fuzz-XXXXXX")
                                                                       : QString());
    return dir.filePath(name);
}

// The entry point of a target over its input as a FuzzInput: FUZZ_TARGET(in) { ... }
#define FUZZ_TARGET(in)                                                                                                \
    static void fuzzOne(FuzzInput& in);                                                                                \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                                          \
        FuzzInput input(data, size);                                                                                   \
        fuzzOne(input);                                                                                                \
        return 0;                                                                                                      \
    }                                                                                                                  \
    static void fuzzOne(FuzzInput& in)

[[noreturn]] inline void fuzzFail(const char* file, int line, const char* what, const QString& detail) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::abort();
}

// Checks a property; on failure prints it (with an optional detail text) and aborts,
// which libFuzzer records as a crash and the replay reports as a failed test.
#define FUZZ_CHECK(cond) ((cond) ? void(0) : fuzzFail(__FILE__, __LINE__, #cond, QString()))
#define FUZZ_CHECK_MSG(cond, detail) ((cond) ? void(0) : fuzzFail(__FILE__, __LINE__, #cond, (detail)))
#define FUZZ_CHECK_EQ(a, b)                                                                                            \
    (((a) == (b))                                                                                                      \
         ? void(0)                                                                                                     \
         : fuzzFail(__FILE__, __LINE__, #a " == " #b, QStringLiteral("«%1» vs «%2»").arg(QString(a), QString(b))))
