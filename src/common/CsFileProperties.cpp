#include "CsFileProperties.h"

#include "PeVersionReader.h"
#include "Seams.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

QString mark(const char16_t* word, bool set) {
    return QString::fromUtf16(word) + (set ? QStringLiteral("(\u221A)") : QStringLiteral("(\u00D7)"));
}

// Day/month/year hour:minute:second in UTC, no leading zeros.
QString timeText(const QDateTime& local, bool withTime) {
    const QDateTime t = local.toUTC();
    QString text = QString::number(t.date().day()) + QLatin1Char('/') + QString::number(t.date().month()) +
                   QLatin1Char('/') + QString::number(t.date().year());
    if (withTime)
        text += QLatin1Char(' ') + QString::number(t.time().hour()) + QLatin1Char(':') +
                QString::number(t.time().minute()) + QLatin1Char(':') + QString::number(t.time().second());
    return text;
}

QString timeTextOrEmpty(const QDateTime& t, bool withTime) {
    return t.isValid() ? timeText(t, withTime) : QString();
}

} // namespace

QString CsFileProperties::FormatLng(qint32 lng) {
    return formatByteSize(quint32(lng));
}

QString CsFileProperties::formatByteSize(quint64 bytes) {
    // Three significant digits: from 1,000 of a unit on, the next unit ("0.97 KB", not "1000 bytes").
    if (bytes < 1000)
        return QString::number(bytes) + QStringLiteral(" bytes");
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    int unit = 0;
    int shift = 10;
    while (unit + 1 < int(std::size(units)) && (bytes >> shift) >= 1000) {
        ++unit;
        shift += 10;
    }
    // Truncated, never rounded up, so a size just short of a unit never reads as it.
    const quint64 whole = bytes >> shift;
    const quint64 rest = bytes & ((quint64(1) << shift) - 1);
    // rest * 100 could overflow 64 bits for the largest units; scale rest down first.
    const int drop = shift > 50 ? shift - 50 : 0;
    const quint64 hundredths = ((rest >> drop) * 100) >> (shift - drop);
    QString number;
    if (whole >= 100)
        number = QString::number(whole);
    else if (whole >= 10)
        number = QString::number(whole) + QLatin1Char('.') + QString::number(hundredths / 10);
    else
        number =
            QString::number(whole) + QLatin1Char('.') + QStringLiteral("%1").arg(hundredths, 2, 10, QLatin1Char('0'));
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

bool CsFileProperties::FindFileInfo(const QString& strFileName) {
    if (strFileName.isEmpty())
        return false;
    const QFileInfo info(strFileName);
    if (!info.exists())
        return false;

    m_creationTime = timeTextOrEmpty(info.birthTime(), true);
    m_lastWriteTime = timeTextOrEmpty(info.lastModified(), true);
    m_lastAccessTime = timeTextOrEmpty(info.lastRead(), false);

    // Linux has no attribute bits: hidden is a leading dot, read-only is an owner who
    // cannot write; the rest have no source here and read as not set.
    const bool hidden = info.fileName().startsWith(QLatin1Char('.'));
    const bool readOnly = !(info.permissions() & QFileDevice::WriteOwner);
    m_normalFileType = mark(u"隐藏", hidden) + mark(u"只读", readOnly) + mark(u"存档", false);
    m_antionFileType = mark(u" 系统", false) + mark(u"临时", false) + mark(u"一般", false) + mark(u"压缩", false);

    m_fileName = strFileName.toLower();
    m_byteSize = formatByteSize(info.isFile() ? quint64(info.size()) : 0);
    readVersion(strFileName);
    return true;
}

void CsFileProperties::readVersion(const QString& path) {
    const auto version = PeVersion::readFile(path);
    if (!version)
        return;
    if (version->hasFixed) {
        m_fileVersion = PeVersion::versionText(version->fileVersion);
        m_productVersion = PeVersion::versionText(version->productVersion);
    }
    const QString table = version->translationKey();
    if (table.isEmpty())
        return;
    const auto take = [&](const char* name, QString& field) {
        if (const auto value = version->stringValue(table, QLatin1String(name)))
            field = *value;
    };
    take("FileDescription", m_fileDescription);
    take("ProductName", m_productName);
    take("OriginalFilename", m_originalFileName);
    take("InternalName", m_internalName);
    take("CompanyName", m_companyName);
    take("LegalCopyright", m_legalCopyright);
}

qint64 CsFileProperties::FindFileSize(const QString& FileName) const {
    const QFileInfo info(FileName);
    return info.isFile() ? info.size() : 0;
}

qint32 CsFileProperties::ShowProperties(const QString& FileName, qint32 OnwerHwnd) {
    Q_UNUSED(OnwerHwnd); // the file manager places its own window
    return showInFileManager(true, FileName);
}

qint32 CsFileProperties::ShowFilePath(qint32 OnwerHwnd, const QString& FileName) {
    Q_UNUSED(OnwerHwnd);
    const qint32 result = showInFileManager(false, FileName);
    return result == kShowDone ? 0 : result;
}

qint32 CsFileProperties::showInFileManager(bool properties, const QString& fileName) {
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists())
        return kShowFileNotFound;
    const FileManager::View view = properties ? FileManager::View::Properties : FileManager::View::Folder;
    return m_fileManager && m_fileManager->show(info.absoluteFilePath(), view) ? kShowDone : kShowNoFileManager;
}
