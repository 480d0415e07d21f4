#pragma once

#include <QFile>
#include <QString>

// Whole-file text access and the key=value lookup of the small INI files.
// Every operation traps its own failures: a missing or unreadable file gives an
// empty result, a failed write leaves the old file in place.
namespace FileOperate {

// The whole file decoded in the named character set ("utf-8", "gbk", ...).
QString ReadTextFile(const QString& charset, const QString& path);

// The file in the 8-bit code page (in UTF-8 when it begins with the UTF-8 mark),
// each line followed by CR LF. A line ends at
// CR LF, a lone CR or a lone LF.
QString ReadTextLines(const QString& path);

// Replaces the file's content with the text in the 8-bit code page, whole or not at all,
// making a missing parent folder first. True when written.
bool WriteTextFile(const QString& path, const QString& text);

// Replaces a file whole or not at all, and says so truthfully. The content goes to a
// fresh file beside the path, made exclusively (so never through a link), which is
// synced and then renamed over the path: a symbolic link there is replaced by the
// file, never written through, wherever it points or dangles. Writes are unbuffered
// and any failure refuses the commit; the old file then stays as it was.
class WholeFileWriter {
public:
    explicit WholeFileWriter(const QString& path);
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    bool open();
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // The mode the file gets; set on the open file, so it never reaches another path.
    bool setPermissions(QFileDevice::Permissions permissions);
    // For writers that take a device (pictures); failures surface at commit.
    QIODevice* device() { return &m_file; }
    // True when the whole content is on disk under the path.
    bool commit();

private:
    void discard();

    QString m_path;
    QString m_tempPath;
    QFile m_file;
    bool m_failed = false;
};

// The value of the first CR LF-separated line that holds key & "=" (case-insensitive),
// with every occurrence of key & "=" removed from it. Empty when no line matches.
QString IniValue(const QString& text, const QString& key);

} // namespace FileOperate
