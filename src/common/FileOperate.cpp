#include "FileOperate.h"

#include "AnsiCodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

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

WholeFileWriter::WholeFileWriter(const QString& path) : m_file(path) {
    m_file.setDirectWriteFallback(false);
}

bool WholeFileWriter::open() {
    m_failed = !m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return !m_failed;
}

bool WholeFileWriter::write(const char* data, qint64 size) {
    if (m_failed || !m_file.isOpen() || m_file.write(data, size) != size)
        m_failed = true;
    return !m_failed;
}

bool WholeFileWriter::commit() {
    bool ok = !m_failed && m_file.flush() && m_file.error() == QFileDevice::NoError;
#ifdef Q_OS_UNIX
    // A file system may report a full disk only when the data goes out.
    if (ok && ::fsync(m_file.handle()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        ok = false;
#endif
    if (!ok) {
        m_file.cancelWriting();
        m_file.commit(); // removes the temporary file
        return false;
    }
    return m_file.commit();
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
