#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

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

// Message boxes. show() returns at once: the box never holds the caller in a loop of
// its own, so the tray menu, the timers and every other window go on while it is
// open. answered (when given) runs with the user's answer once the box is closed,
// from the event loop. While a box with the same text is open no second one opens,
// and its answered is dropped.
class Prompt {
public:
    using Answered = std::function<void(PromptAnswer)>;
    virtual ~Prompt() = default;
    virtual void show(const QString& text, const QString& title, PromptIcon icon,
                      PromptButtons buttons = PromptButtons::Ok, Answered answered = {}) = 0;
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
