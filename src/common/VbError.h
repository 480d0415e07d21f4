#pragma once

#include <QString>
#include <stdexcept>

// The one failure type of the program. It carries the error number the original
// runtime would have raised, so callers can tell failures apart by number
// (282 "no application responded", 53 "file not found", ...).
class VbError : public std::runtime_error {
public:
    enum Number : int {
        InvalidArgument = 5, // invalid procedure call or argument
        Overflow = 6,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        FileNotFound = 53,
        FileAlreadyExists = 58,
        PermissionDenied = 70,
        PathNotFound = 76,
        InvalidUseOfNull = 94,
        NoApplicationResponded = 282,
        LinkRefused = 285, // the partner would not perform the command
        LinkTimeout = 286,
        RegExpSyntax = 5017,
    };

    explicit VbError(int number, const QString& text = {})
        : std::runtime_error(text.isEmpty() ? ("error " + std::to_string(number)) : text.toStdString()),
          m_number(number) {}

    int number() const noexcept { return m_number; }

private:
    int m_number;
};
