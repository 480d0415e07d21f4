#include "StartupGate.h"

#include "FailurePolicy.h"
#include "VbError.h"

bool StartupGate::claimOrForward(const QString& commandLine) const {
    bool acquired = false;
    resumeNext([&] { acquired = tryAcquire(); });
    if (acquired)
        return true;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        int result = VbError::NoApplicationResponded;
        resumeNext([&] { result = forward(commandLine); });
        // Only "nobody listens yet" is worth another try; an answer or a time-out ends it.
        if (result != VbError::NoApplicationResponded)
            break;
        if (attempt < attempts && pause)
            resumeNext([&] { pause(); });
    }
    return false;
}
