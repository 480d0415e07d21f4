#pragma once

#include "Log.h"
#include "VbError.h"

#include <type_traits>
#include <utility>

// The three failure policies: "resume next" runs each step under its own catch,
// "jump to a handler" catches once around a routine, "no trap" lets VbError through.
// No exception may leave an event handler; wrap handler bodies in resumeNext or
// jumpToHandler. Each trap names its step, so a swallowed failure leaves one debug
// line under the caller's category (QT_LOGGING_RULES="vantobel.*.debug=true").

// Writes "<step> failed: <cause>" under category when its debug output is on. Call it
// only inside a catch block: it reads the exception being handled. Never throws.
void noteFailure(const QLoggingCategory& category, const char* step) noexcept;

// Runs one step; a failure is noted and swallowed, and the routine goes on with the
// next step.
template <typename F> void resumeNext(LogCategory category, const char* step, F&& body) noexcept {
    try {
        std::forward<F>(body)();
    } catch (...) {
        noteFailure(category(), step);
    }
}

// Runs a routine; on the first failure notes it and returns the error number
// (VbError's, or 5 for anything else). Returns 0 when the routine finished.
template <typename F> int jumpToHandler(LogCategory category, const char* step, F&& routine) noexcept {
    try {
        std::forward<F>(routine)();
        return 0;
    } catch (const VbError& e) {
        noteFailure(category(), step);
        return e.number();
    } catch (...) {
        noteFailure(category(), step);
        return VbError::InvalidArgument;
    }
}

// The handler with the signal's arguments, or with none when it takes none. A function
// template of its own: as a lambda inside trapped() the call without arguments would
// not depend on the signal, and clang checks it even where it is never made.
template <typename H, typename... Args> void callHandler(H& handler, const Args&... args) {
    if constexpr (std::is_invocable_v<H&, const Args&...>)
        handler(args...);
    else
        handler();
}

// Wraps an event handler for connect(): whatever the handler throws is noted and
// stays inside it, so no failure reaches Qt's event loop. A handler that takes
// none of the signal's arguments is called without them.
template <typename F> auto trapped(LogCategory category, const char* step, F handler) {
    return [category, step, handler = std::move(handler)](const auto&... args) {
        resumeNext(category, step, [&] { callHandler(handler, args...); });
    };
}
