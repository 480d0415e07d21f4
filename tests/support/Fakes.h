#pragma once

// Replacements for the seams, shared by every test.

#include "Seams.h"

#include <QList>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <functional>
#include <stdexcept>

struct FixedClock : Clock {
    explicit FixedClock(QDateTime t = QDateTime(QDate(2009, 3, 5), QTime(14, 5, 6))) : m_now(std::move(t)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceSecs(qint64 s) { m_now = m_now.addSecs(s); }

private:
    QDateTime m_now;
};

// Returns the queued draws in turn, then repeats the last one (0 when none queued).
struct SequenceRandom : RandomSource {
    explicit SequenceRandom(std::deque<float> draws = {}) : m_draws(std::move(draws)) {}
    void reseed() override { ++reseeds; }
    float next() override {
        if (m_draws.empty())
            return m_last;
        m_last = m_draws.front();
        m_draws.pop_front();
        return m_last;
    }
    void push(float r) { m_draws.push_back(r); }
    int reseeds = 0;

private:
    std::deque<float> m_draws;
    float m_last = 0.0f;
};

struct PromptCall {
    QString text;
    QString title;
    PromptIcon icon;
    PromptButtons buttons;
};

// Records every message box and answers at once with the queued answers (Yes by
// default); hook, when set, runs first, as the box appears.
struct RecordingPrompt : Prompt {
    void show(const QString& text, const QString& title, PromptIcon icon, PromptButtons buttons,
              Answered answered) override {
        calls.append({text, title, icon, buttons});
        if (hook)
            hook();
        PromptAnswer a = PromptAnswer::Ok;
        if (buttons != PromptButtons::Ok) {
            a = answers.empty() ? PromptAnswer::Yes : answers.front();
            if (!answers.empty())
                answers.pop_front();
        }
        if (answered)
            answered(a);
    }
    QList<PromptCall> calls;
    std::deque<PromptAnswer> answers;
    std::function<void()> hook;
};

struct RecordingUrlOpener : UrlOpener {
    bool openUrl(const QString& address) override {
        opened.append(address);
        return accept;
    }
    QStringList opened;
    bool accept = true;
};

struct StartedProcess {
    QString program;
    QStringList arguments;
};

struct RecordingLauncher : ProcessLauncher {
    bool startDetached(const QString& program, const QStringList& arguments) override {
        started.append({program, arguments});
        return succeed;
    }
    QList<StartedProcess> started;
    bool succeed = true;
};

// Records each command as its topic followed by the command and answers with the
// queued numbers in turn (0, accepted, when none is queued).
struct ScriptedLink : PlayerLinkClient {
    int execute(const QString& topic, const QString& command) override {
        calls << topic + command;
        return answers.isEmpty() ? 0 : answers.takeFirst();
    }
    QStringList calls;
    QList<int> answers;
};

// Every file carries version; the last path asked for is kept. A null version is a
// file that cannot be read.
struct ScriptedVersion : FileVersionReader {
    explicit ScriptedVersion(QString v = {}) : version(std::move(v)) {}
    QString fileVersion(const QString& path) override {
        asked = path;
        return version.isNull() ? throw std::runtime_error("unreadable") : version;
    }
    QString version;
    QString asked;
};

// Every sibling program is recorded at path.
struct FixedInstPath : InstPathStore {
    QString instPath(const QString&) const override { return path; }
    QString path;
};

struct RecordingExit : ProgramExit {
    void exit(int code) override { codes << code; }
    QList<int> codes;
};

// Points VANTOBEL_PLAY_HOME (and XDG folders) at a fresh temporary folder for the
// life of the object, so no test touches the user's real home.
class TempProgramHome {
public:
    TempProgramHome() {
        m_oldHome = qgetenv("VANTOBEL_PLAY_HOME");
        qputenv("VANTOBEL_PLAY_HOME", m_dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", (m_dir.path() + "/xdg-data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_dir.path() + "/xdg-config").toUtf8());
    }
    ~TempProgramHome() {
        if (m_oldHome.isNull())
            qunsetenv("VANTOBEL_PLAY_HOME");
        else
            qputenv("VANTOBEL_PLAY_HOME", m_oldHome);
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
};
