#include "StartupGate.h"

#include "FailurePolicy.h"
#include "PlayerControl.h"
#include "Seams.h"
#include "VbError.h"

bool StartupGate::claimOrForward(const QString& commandLine) const {
    bool acquired = false;
    resumeNext(lcLink, "take the single-instance lock", [&] { acquired = instance.tryAcquire(); });
    if (acquired)
        return true;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        int result = VbError::NoApplicationResponded;
        resumeNext(lcLink, "forward the command line", [&] { result = player.ForwardToRunningTray(commandLine); });
        // Only "nobody listens yet" is worth another try; an answer or a time-out ends it.
        if (result != VbError::NoApplicationResponded)
            break;
        if (attempt < attempts && pause)
            resumeNext(lcLink, "wait before forwarding again", [&] { pause(); });
    }
    return false;
}
