#include "QtProcessLauncher.h"

#include <QFileInfo>
#include <QProcess>

bool QtProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    if (program.isEmpty())
        return false;
    // A path that names a folder or a file without execute permission cannot start;
    // say so at once instead of relying on the fork's late failure.
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        if (!info.exists() || info.isDir() || !info.isExecutable())
            return false;
    }
    return QProcess::startDetached(program, arguments);
}
