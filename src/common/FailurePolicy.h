#pragma once

#include "VbError.h"

#include <exception>
#include <utility>

// The three failure policies: "resume next" runs each step under its own catch,
// "jump to a handler" catches once around a routine, "no trap" lets VbError through.
// No exception may leave an event handler; wrap handler bodies in resumeNext or guard.

// Runs one step; a failure is swallowed and the routine goes on with the next step.
template <typename F> void resumeNext(F&& step) noexcept {
    try {
        std::forward<F>(step)();
    } catch (...) {
    }
}

// Runs a routine; on the first failure returns the error number (VbError's, or 5
// for anything else). Returns 0 when the routine finished.
template <typename F> int jumpToHandler(F&& routine) noexcept {
    try {
        std::forward<F>(routine)();
        return 0;
    } catch (const VbError& e) {
        return e.number();
    } catch (...) {
        return VbError::InvalidArgument;
    }
}
