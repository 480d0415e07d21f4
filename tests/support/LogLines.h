#pragma once

// Records what the program logs in one category (debug lines aside) while alive.

#include <QStringList>
#include <QtGlobal>

class LogLines {
public:
    explicit LogLines(const char* category) {
        s_category = category;
        s_lines = &lines;
        s_previous = qInstallMessageHandler(&record);
    }
    ~LogLines() {
        qInstallMessageHandler(s_previous);
        s_lines = nullptr;
    }
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;
    QStringList lines;

private:
    static void record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (s_lines != nullptr && type != QtDebugMsg && qstrcmp(context.category, s_category) == 0)
            s_lines->append(text);
    }
    static inline const char* s_category = nullptr;
    static inline QStringList* s_lines = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};
