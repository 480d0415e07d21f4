#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

// Small seams through which the program reaches the clock, the random generator,
// the user (message boxes), the browser and other programs. Main builds the real
// ones; tests hand in fakes (tests/support/Fakes.h).

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Uniform draws on [0, 1) in single precision, re-seeded from the timer on request.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void reseed() = 0;
    virtual float next() = 0;
};

enum class PromptIcon { None, Information, Critical, Question, Exclamation };
enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

class Prompt {
public:
    virtual ~Prompt() = default;
    virtual PromptAnswer show(const QString& text, const QString& title, PromptIcon icon,
                              PromptButtons buttons = PromptButtons::Ok) = 0;
};

// Opens an address in the user's browser. Implementations refuse anything that is
// not http or https and then return false.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool openUrl(const QString& address) = 0;
};

// Starts another program without waiting for it. False when it could not start.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// The application title shown in message boxes and the about box.
inline const QString kAppTitle = QStringLiteral("VantobelPlayTray");
