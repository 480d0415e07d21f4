#include "SysPublicCls.h"

#include "VbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool SysPublicCls::SysFile(const QString& FilePath) {
    const QFileInfo info(FilePath);
    return info.exists() && !info.isDir();
}

QString SysPublicCls::SysFilePath(const QString& FilePath) {
    if (QFileInfo(FilePath).isDir())
        return FilePath;
    // Create each missing level in turn; a level that cannot be made is skipped.
    const QStringList pieces = FilePath.split(QLatin1Char('/'));
    QString candidate;
    for (const QString& piece : pieces) {
        candidate += piece + QLatin1Char('/');
        if (piece.isEmpty())
            continue;
        if (!QFileInfo(candidate).isDir())
            QDir().mkdir(candidate);
    }
    return FilePath;
}

void SysPublicCls::CopyFile(const QString& SourceFile, const QString& DuplicateFilePath, const QString& DuplicateFile) {
    if (!SysFile(SourceFile))
        return;
    SysFilePath(DuplicateFilePath);
    const QString target = DuplicateFilePath + DuplicateFile;
    if (QFileInfo::exists(target) && !QFile::remove(target))
        throw VbError(VbError::PermissionDenied, QStringLiteral("Permission denied: ") + target);
    if (!QFile::copy(SourceFile, target))
        throw VbError(VbError::PathNotFound, QStringLiteral("Copy failed: ") + target);
}
