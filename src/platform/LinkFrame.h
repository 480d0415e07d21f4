#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One execute on the link: a 4-byte big-endian byte count N (at most 65,536) and
// N bytes of UTF-8 command text. Kept free of sockets so that it can be tested whole.

constexpr qsizetype kLinkFrameHeaderBytes = 4;
constexpr quint32 kLinkFrameMaxPayload = 65536;

struct LinkFrame {
    enum class Status {
        Incomplete, // a prefix of a valid frame: wait for more
        Whole,      // exactly one frame, command holds its text
        Invalid     // oversized count, or more bytes than announced
    };
    Status status = Status::Incomplete;
    QString command;
};

// Everything a client has sent so far, read as one frame.
LinkFrame parseLinkFrame(QByteArrayView received);

// The frame for a payload; empty when the payload is too long for one.
QByteArray encodeLinkFrame(QByteArrayView payload);
