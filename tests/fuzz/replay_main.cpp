// Replays every file of the given folders (or the given files) through the fuzz
// target once, so that the committed corpora run in the normal test suite.
#include "FuzzSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

int main(int argc, char** argv) {
    QStringList inputs;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (!QFileInfo(arg).isDir())
            inputs << arg;
        for (QDirIterator it(arg, QDir::Files); it.hasNext();)
            inputs << it.next();
    }
    inputs.sort();
    // An empty or missing corpus would pass without testing anything.
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    for (const QString& path : std::as_const(inputs)) {
        QFile file(path);
        std::fprintf(stderr, "replay: %s\n", qPrintable(QFileInfo(path).fileName()));
        FUZZ_CHECK(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
    std::fprintf(stderr, "replay: %lld inputs passed\n", qlonglong(inputs.size()));
    return 0;
}
