// The text-line reader and the INI lookup. ReadTextLines must end every line, and
// only lines, with CR LF and lose no other character; IniValue must find the value
// of a key=value line wherever it stands among lines that do not hold the key.
#include "AnsiCodePage.h"
#include "FileOperate.h"
#include "FuzzSupport.h"

#include <QFile>

namespace {

QString withoutLineBreaks(QString s) {
    return s.remove(u'\r').remove(u'\n');
}

void checkReadTextLines(const QByteArray& bytes) {
    const QString path = fuzzScratchFile(QStringLiteral("lines.txt"));
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    file.close();
    const QString read = FileOperate::ReadTextLines(path);
    // A file that begins with the UTF-8 mark is UTF-8 without its mark, as the reader takes it.
    const QString decoded =
        bytes.startsWith("\xEF\xBB\xBF") ? QString::fromUtf8(bytes.mid(3)) : AnsiCodePage::decode(bytes);

    // One CR LF per line end of the file (CR LF, CR or LF), plus one for a last line without.
    qsizetype lineEnds = 0;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        if (decoded.at(i) == u'\r' && i + 1 < decoded.size() && decoded.at(i + 1) == u'\n')
            ++i;
        if (decoded.at(i) == u'\r' || decoded.at(i) == u'\n')
            ++lineEnds;
    }
    if (!decoded.isEmpty() && !decoded.endsWith(u'\r') && !decoded.endsWith(u'\n'))
        ++lineEnds;

    FUZZ_CHECK(read.isEmpty() || read.endsWith(QLatin1String("\r\n")));
    FUZZ_CHECK(read.count(QLatin1String("\r\n")) == lineEnds);
    const QString bare = QString(read).remove(QLatin1String("\r\n"));
    FUZZ_CHECK(!bare.contains(u'\r') && !bare.contains(u'\n'));
    FUZZ_CHECK_EQ(withoutLineBreaks(read), withoutLineBreaks(decoded));
}

} // namespace

FUZZ_TARGET(in) {
    const quint8 position = in.byte();
    const QString key = in.text();
    const QString value = in.text();
    const QByteArray others = in.rest();

    checkReadTextLines(others);

    // A key=value line among other lines; the lookup must not be fooled by them.
    const QString needle = key + QLatin1Char('=');
    if (key.contains(QLatin1String("\r\n")) || value.contains(QLatin1String("\r\n")) ||
        value.contains(needle, Qt::CaseInsensitive))
        return;
    QStringList lines;
    for (const QString& line : QString::fromUtf8(others).split(QLatin1String("\r\n")))
        if (!line.contains(needle, Qt::CaseInsensitive))
            lines.append(line);
    FUZZ_CHECK(FileOperate::IniValue(lines.join(QLatin1String("\r\n")), key).isEmpty());
    lines.insert(position % (lines.size() + 1), needle + value);
    const QString text = lines.join(QLatin1String("\r\n"));
    FUZZ_CHECK_EQ(FileOperate::IniValue(text, key), value);
    const QString upperKey = key.toUpper();
    if (upperKey.compare(key, Qt::CaseInsensitive) == 0)
        FUZZ_CHECK_EQ(FileOperate::IniValue(text, upperKey), value);
}
