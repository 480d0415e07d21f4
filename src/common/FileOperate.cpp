#include "FileOperate.h"

#include "AnsiCodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace FileOperate {

QString ReadTextFile(const QString& charset, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The stream object's "unicode" is little-endian UTF-16.
    const QByteArray name = charset.compare(QLatin1String("unicode"), Qt::CaseInsensitive) == 0
                                ? QByteArrayLiteral("UTF-16LE")
                                : charset.toLatin1();
    // The decoder skips a leading byte-order mark by default, as the stream object does.
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return {};
    return decoder.decode(file.readAll());
}

QString ReadTextLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    // Editors that save UTF-8 often mark it; read as the code page, the mark would
    // become part of the first key.
    const QString all =
        bytes.startsWith("\xEF\xBB\xBF") ? QString::fromUtf8(bytes.mid(3)) : AnsiCodePage::decode(bytes);
    QString result;
    result.reserve(all.size() + 2);
    qsizetype start = 0;
    const qsizetype n = all.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && all.at(end) != QLatin1Char('\r') && all.at(end) != QLatin1Char('\n'))
            ++end;
        result += QStringView(all).mid(start, end - start);
        result += QLatin1String("\r\n");
        if (end < n && all.at(end) == QLatin1Char('\r') && end + 1 < n && all.at(end + 1) == QLatin1Char('\n'))
            end += 2;
        else if (end < n)
            end += 1;
        start = end;
    }
    return result;
}

bool WriteTextFile(const QString& path, const QString& text) {
    // A fresh per-user data folder may not have the file's folder yet.
    const QFileInfo info(path);
    if (!info.absoluteDir().exists() && !QDir().mkpath(info.absolutePath()))
        return false;
    WholeFileWriter file(path);
    return file.open() && file.write(AnsiCodePage::encode(text)) && file.commit();
}

namespace {

std::filesystem::path nativePath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

} // namespace

WholeFileWriter::WholeFileWriter(const QString& path) : m_path(QFileInfo(path).absoluteFilePath()) {}

WholeFileWriter::~WholeFileWriter() {
    discard();
}

void WholeFileWriter::discard() {
    m_file.close();
    if (!m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
    m_tempPath.clear();
}

bool WholeFileWriter::open() {
    discard();
    const QFileInfo target(m_path);
    // Only a plain file of that name lends its mode; a link's target is none of our business.
    const bool keepMode = !target.isSymLink() && target.isFile();
    const QFileDevice::Permissions mode = keepMode ? target.permissions() : QFileDevice::Permissions();
    // Exclusive creation fails on anything already there, a planted link included.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
                                  QString::number(QRandomGenerator::global()->generate(), 36);
        m_file.setFileName(candidate);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_tempPath = candidate;
            break;
        }
        // Only a name already taken is worth another try.
        const QFileInfo taken(candidate);
        if (!taken.exists() && !taken.isSymLink())
            break;
    }
    m_failed = !m_file.isOpen() || (keepMode && !m_file.setPermissions(mode));
    return !m_failed;
}

bool WholeFileWriter::write(const char* data, qint64 size) {
    if (m_failed || !m_file.isOpen() || m_file.write(data, size) != size)
        m_failed = true;
    return !m_failed;
}

bool WholeFileWriter::setPermissions(QFileDevice::Permissions permissions) {
    if (m_failed || !m_file.isOpen() || !m_file.setPermissions(permissions))
        m_failed = true;
    return !m_failed;
}

bool WholeFileWriter::commit() {
    bool ok = !m_failed && m_file.isOpen() && m_file.flush() && m_file.error() == QFileDevice::NoError;
#ifdef Q_OS_UNIX
    // A file system may report a full disk only when the data goes out.
    if (ok && ::fsync(m_file.handle()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        ok = false;
#endif
    m_file.close();
    ok = ok && m_file.error() == QFileDevice::NoError;
    std::error_code error;
    // rename replaces whatever entry has the name, a link included, in one step.
    if (ok)
        std::filesystem::rename(nativePath(m_tempPath), nativePath(m_path), error);
    if (!ok || error) {
        discard();
        return false;
    }
    m_tempPath.clear();
    return true;
}

QString IniValue(const QString& text, const QString& key) {
    const QString needle = key + QLatin1Char('=');
    const auto lines = QStringView(text).split(u"\r\n");
    for (const QStringView line : lines) {
        if (line.contains(needle, Qt::CaseInsensitive)) {
            QString value = line.toString();
            value.remove(needle, Qt::CaseInsensitive);
            return value;
        }
    }
    return {};
}

} // namespace FileOperate
