#pragma once

#include <QString>

class FileManager;

// Describes one file: the texts of its version resource, its attributes, its three
// times (UTC) and its size; and shows the file in the desktop's file manager.
// Start-up reads the player's version with it: FindFileInfo, then FileVersion.
class CsFileProperties {
public:
    // Results of ShowProperties: above 32 means the request reached the desktop.
    static constexpr qint32 kShowDone = 42;
    static constexpr qint32 kShowFileNotFound = 2;
    static constexpr qint32 kShowNoFileManager = 31;

    // Without a file manager the class only reads files: every show says kShowNoFileManager.
    explicit CsFileProperties(FileManager* fileManager = nullptr) : m_fileManager(fileManager) {}

    // Attribute marks: "隐藏(×)只读(√)存档(×)" and " 系统(×)临时(×)一般(×)压缩(×)".
    QString NormalFileType() const { return m_normalFileType; }
    QString AntionFileType() const { return m_antionFileType; }
    // The class keeps no temporary flag; the bit shows only in AntionFileType.
    bool Temporary() const { return false; }
    QString LastWriteTime() const { return m_lastWriteTime; }
    QString LastAccessTime() const { return m_lastAccessTime; }
    QString CreationTime() const { return m_creationTime; }
    QString ByteSize() const { return orNa(m_byteSize); }
    QString ProductVersion() const { return orNa(m_productVersion); }
    QString ProductName() const { return orNa(m_productName); }
    QString OriginalFileName() const { return orNa(m_originalFileName); }
    QString LegalCopyright() const { return orNa(m_legalCopyright); }
    qint32 FindShowProperties(const QString& strFileName) { return ShowProperties(strFileName, 0); }
    QString InternalName() const { return orNa(m_internalName); }
    QString FileVersion() const { return orNa(m_fileVersion); }
    QString FileDescription() const { return orNa(m_fileDescription); }
    QString CompanyName() const { return orNa(m_companyName); }
    QString FileName() const { return orNa(m_fileName); }

    // Short byte-size text of `lng` taken as an unsigned 32-bit number.
    static QString FormatLng(qint32 lng);
    // The same for any size: "532 bytes", "1.50 KB", "12.3 MB", "100 MB".
    static QString formatByteSize(quint64 bytes);

    // Fills every text from the file. False, changing nothing, for an empty name or a
    // name that matches no file. Version texts the file does not supply keep their values.
    bool FindFileInfo(const QString& strFileName);
    // The file's size in bytes; 0 when there is no such file.
    qint64 FindFileSize(const QString& FileName) const;

    // Asks the file manager to show the file's properties (the folder with the file
    // selected when it cannot). kShowDone, or kShowFileNotFound / kShowNoFileManager.
    qint32 ShowProperties(const QString& FileName, qint32 OnwerHwnd = 0);
    // Shows the file's folder with the file selected. 0 when the request reached the
    // desktop, else kShowFileNotFound or kShowNoFileManager.
    qint32 ShowFilePath(qint32 OnwerHwnd, const QString& FileName);

private:
    static QString orNa(const QString& s) { return s.isEmpty() ? QStringLiteral("N/A") : s; }
    void readVersion(const QString& path);
    qint32 showInFileManager(bool properties, const QString& fileName);

    QString m_companyName;
    QString m_fileDescription;
    QString m_fileVersion;
    QString m_internalName;
    QString m_legalCopyright;
    QString m_originalFileName;
    QString m_productName;
    QString m_productVersion;
    QString m_fileName;
    QString m_byteSize;
    QString m_creationTime;
    QString m_lastAccessTime;
    QString m_lastWriteTime;
    QString m_normalFileType;
    QString m_antionFileType;

    FileManager* m_fileManager = nullptr;
};
