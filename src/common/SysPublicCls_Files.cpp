#include "SysPublicCls.h"

#include "FileOperate.h"
#include "VbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <array>
#include <optional>

namespace {

// Linux has no read-only attribute: a file its owner may not write counts as one,
// the same reading the file-properties class gives. Like a delete that is not
// forced, such a file is left alone.
bool isReadOnly(const QFileInfo& info) {
    return !(info.permissions() & QFileDevice::WriteOwner);
}

// Moves one file without replacing anything. Outcome 0 moved, 1 source missing
// (error 53), 2 destination present (error 58), empty for any other failure.
QVariant moveFile(const QString& from, const QString& to) {
    if (!SysPublicCls::SysFile(from))
        return 1;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return 2;
    QFile source(from);
    if (source.rename(to))
        return 0;
    // Someone else may have made the destination meanwhile.
    if (!QFileInfo::exists(from))
        return 1;
    if (QFileInfo::exists(to))
        return 2;
    return {};
}

qint64 folderBytes(const QString& folder) {
    const QDir dir(folder);
    if (!dir.isReadable())
        throw VbError(VbError::PermissionDenied, QStringLiteral("Permission denied: ") + folder);
    qint64 total = 0;
    // Symbolic links are not followed, so a link back up the tree cannot loop.
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System |
                                           QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir())
            total += folderBytes(entry.absoluteFilePath());
        else
            total += entry.size();
    }
    return total;
}

double sizePart(const QVariantList& size, int index) {
    if (index >= size.size())
        throw VbError(VbError::SubscriptOutOfRange);
    const QVariant& v = size.at(index);
    if (!v.isValid())
        return 0; // an empty element counts as 0 in arithmetic
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw VbError(VbError::TypeMismatch);
    return d;
}

} // namespace

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
    const QFileInfo targetInfo(target);
    // A link there is replaced by the copy, so where it points does not matter.
    if (!targetInfo.isSymLink() && (targetInfo.isDir() || (targetInfo.exists() && isReadOnly(targetInfo))))
        throw VbError(VbError::PermissionDenied, QStringLiteral("Permission denied: ") + target);
    if (!QFileInfo(DuplicateFilePath.isEmpty() ? QStringLiteral(".") : DuplicateFilePath).isDir())
        throw VbError(VbError::PathNotFound, QStringLiteral("Path not found: ") + DuplicateFilePath);

    QFile source(SourceFile);
    if (!source.open(QIODevice::ReadOnly))
        throw VbError(VbError::PermissionDenied, QStringLiteral("Cannot read: ") + SourceFile);
    // The copy replaces the old file only once it is complete, so a failed copy
    // never leaves a half-written database behind.
    FileOperate::WholeFileWriter out(target);
    if (!out.open())
        throw VbError(VbError::PermissionDenied, QStringLiteral("Cannot write: ") + target);
    std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const qint64 n = source.read(buffer.data(), qint64(buffer.size()));
        if (n < 0)
            throw VbError(VbError::PermissionDenied, QStringLiteral("Cannot read: ") + SourceFile);
        if (n == 0)
            break;
        if (!out.write(buffer.data(), n))
            throw VbError(VbError::PermissionDenied, QStringLiteral("Cannot write: ") + target);
    }
    // A template installed read-only must still give the user a copy they can write.
    // The mode is set before the copy takes the name: set by name afterwards, it would
    // follow a link someone put there meanwhile.
    if (!out.setPermissions(source.permissions() | QFileDevice::WriteOwner | QFileDevice::ReadOwner) || !out.commit())
        throw VbError(VbError::PermissionDenied, QStringLiteral("Cannot write: ") + target);
}

QVariant SysPublicCls::SysMoveFiles(const QString& TargetFile, const QString& MotiveFile, const QString& FilesName) {
    if (!SysFile(MotiveFile))
        SysFilePath(MotiveFile);
    return moveFile(TargetFile + FilesName, MotiveFile + FilesName);
}

QVariant SysPublicCls::SysMoveFiles2(const QString& TargetFileName, const QString& MotiveFile,
                                     const QString& MotiveFileName) {
    if (!SysFile(MotiveFile))
        SysFilePath(MotiveFile);
    return moveFile(TargetFileName, MotiveFileName);
}

bool SysPublicCls::PicDel(const QString& FilePath) {
    const QFileInfo info(FilePath);
    if (!info.exists() || info.isDir())
        return false;
    if (isReadOnly(info) && !info.isSymLink())
        throw VbError(VbError::PermissionDenied, QStringLiteral("Permission denied: ") + FilePath);
    if (!QFile::remove(FilePath))
        throw VbError(VbError::PermissionDenied, QStringLiteral("Permission denied: ") + FilePath);
    return true;
}

bool SysPublicCls::FileDel(const QString& FilePath) {
    return PicDel(FilePath);
}

bool SysPublicCls::SysDelFiles(const QString& FilePath) {
    return PicDel(FilePath);
}

qint64 SysPublicCls::FolderSize(const QString& FolderStr) {
    if (!QFileInfo(FolderStr).isDir())
        throw VbError(VbError::PathNotFound, QStringLiteral("Path not found: ") + FolderStr);
    return folderBytes(FolderStr);
}

qint64 SysPublicCls::FileSize(const QString& FileStr) {
    if (!SysFile(FileStr))
        throw VbError(VbError::FileNotFound, QStringLiteral("File not found: ") + FileStr);
    return QFileInfo(FileStr).size();
}

QVariantList SysPublicCls::GetFileTime(const QString& FilePath) {
    QVariantList times{QVariant(), QVariant()};
    if (!SysFile(FilePath))
        return times;
    const QFileInfo info(FilePath);
    // Creation comes from the birth time, which only some file systems record.
    if (const QDateTime born = info.birthTime(); born.isValid())
        times[0] = born.toLocalTime();
    if (const QDateTime written = info.lastModified(); written.isValid())
        times[1] = written.toLocalTime();
    return times;
}

bool SysPublicCls::CheckFileType(const QString& FileName) {
    const qsizetype dot = FileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = (dot < 0 ? FileName : FileName.mid(dot + 1)).toLower();
    QByteArray signature;
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        signature = QByteArray("\xFF\xD8", 2);
    else if (extension == QLatin1String("gif"))
        signature = QByteArray("GIF89a");
    else if (extension == QLatin1String("png"))
        signature = QByteArray("\x89PNG", 4);
    else if (extension == QLatin1String("bmp"))
        signature = QByteArray("BM");
    else
        return false;
    QFile file(FileName);
    if (!QFileInfo(FileName).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    // A file shorter than the signature does not match.
    return file.read(signature.size()) == signature;
}

QVariantList SysPublicCls::PicSize(const QString& FilePath) {
    QImageReader reader(FilePath);
    const QSize size = reader.size();
    if (!size.isValid())
        return {QVariant(), QVariant()};
    return {size.width(), size.height()};
}

bool SysPublicCls::DrawPNG(const QString& FilePath, const QVariantList& PicSize, const QString& PngPath,
                           const QVariantList& PngSize, const QVariant& Place) {
    // The picture is changed where it lies; through a link that would be someone else's
    // file, and replacing the link would quietly cut it, so a link is refused.
    if (QFileInfo(FilePath).isSymLink())
        return false;
    QImage image;
    if (!image.load(FilePath))
        return false;
    const double W = sizePart(PicSize, 0);
    const double H = sizePart(PicSize, 1);
    const double w = sizePart(PngSize, 0);
    const double h = sizePart(PngSize, 1);

    const QString place = isNull(Place) ? QString() : text(Place);
    std::optional<QPointF> at;
    if (place == QLatin1String("1"))
        at = QPointF(5, 5);
    else if (place == QLatin1String("2"))
        at = QPointF(W - w - 5, 5);
    else if (place == QLatin1String("3"))
        at = QPointF(W / 2 - w / 2, H / 2 - h / 2);
    else if (place == QLatin1String("4"))
        at = QPointF(5, H - h - 5);
    else if (place == QLatin1String("5"))
        at = QPointF(W - w - 5, H - h - 5);

    if (at) {
        QImage png;
        if (!png.load(PngPath))
            return false;
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
            image = image.convertToFormat(QImage::Format_RGB32);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(*at, png);
    }

    // Written whole or not at all: a failed save keeps the original picture.
    FileOperate::WholeFileWriter out(FilePath);
    if (!out.open())
        return false;
    QImageWriter writer(out.device(), "jpeg");
    writer.setQuality(85);
    if (!writer.write(image))
        return false;
    return out.commit();
}
