#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>

// One line per event on stdout and, when asked, appended to a log file. Line
// breaks and backslashes in the text are escaped so that one event stays one line.
class DemoLog {
public:
    explicit DemoLog(QString path) : m_path(std::move(path)) {}

    static QString escape(const QString& text) {
        QString out;
        out.reserve(text.size());
        for (const QChar c : text) {
            if (c == QLatin1Char('\\'))
                out += QStringLiteral("\\\\");
            else if (c == QLatin1Char('\n'))
                out += QStringLiteral("\\n");
            else if (c == QLatin1Char('\r'))
                out += QStringLiteral("\\r");
            else
                out += c;
        }
        return out;
    }

    void line(const QString& text) const {
        const QByteArray bytes = escape(text).toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        if (m_path.isEmpty())
            return;
        // Opened per line so that a reader sees every line at once and a crash loses nothing.
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(bytes);
    }

    // Takes "--log FILE" or "--log=FILE" out of the arguments; else the variable's value.
    static QString takeLogPath(QStringList& arguments, const char* environmentVariable) {
        QString path;
        for (qsizetype i = 0; i < arguments.size();) {
            if (arguments[i] == QLatin1String("--log") && i + 1 < arguments.size()) {
                path = arguments[i + 1];
                arguments.remove(i, 2);
            } else if (arguments[i].startsWith(QLatin1String("--log="))) {
                path = arguments[i].mid(6);
                arguments.remove(i);
            } else {
                ++i;
            }
        }
        return path.isEmpty() ? qEnvironmentVariable(environmentVariable) : path;
    }

private:
    QString m_path;
};
