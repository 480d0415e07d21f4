#include "StartupGate.h"

#include "FailurePolicy.h"
#include "VbError.h"

bool StartupGate::claimOrForward(const QString& commandLine) const {
    bool acquired = false;
    resumeNext(lcLink, "take the single-instance lock", [&] { acquired = tryAcquire(); });
    if (acquired)
        return true;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        int result = VbError::NoApplicationResponded;
        resumeNext(lcLink, "forward the command line", [&] { result = forward(commandLine); });
        // Only "nobody listens yet" is worth another try; an answer or a time-out ends it.
        if (result != VbError::NoApplicationResponded)
            break;
        if (attempt < attempts && pause)
            resumeNext(lcLink, "wait before forwarding again", [&] { pause(); });
    }
    return false;
}
