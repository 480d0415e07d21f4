#pragma once

#include "LinkFrame.h"
#include "VbError.h"

#include <QString>

// The command link between the tray and the player: one per-user local socket per
// topic. One execute is one connection: 4-byte big-endian length N (at most 65,536),
// N bytes of UTF-8 command text; the server answers one byte, 0 = accepted.

inline const QString kTrayTopic = QStringLiteral("VantobelPlayTray|VantobelPlayTrayDDEForm");
inline const QString kPlayerTopic = QStringLiteral("VantobelPlay|VantobelPlayDDEForm");

// Results of linkExecute.
constexpr int kLinkAccepted = 0;
constexpr int kLinkNoPartner = VbError::NoApplicationResponded; // no socket, or nobody listens on it
constexpr int kLinkRefused = VbError::LinkRefused;     // the partner hung up, did not accept, or is another user
constexpr int kLinkTimedOut = VbError::LinkTimeout;    // no answer within the time-out
constexpr int kLinkTooLong = VbError::InvalidArgument; // the command exceeds kLinkMaxCommandBytes
constexpr int kLinkMaxCommandBytes = int(kLinkFrameMaxPayload);
