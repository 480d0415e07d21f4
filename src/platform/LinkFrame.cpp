#include "LinkFrame.h"

#include <QtEndian>

LinkFrame parseLinkFrame(QByteArrayView received) {
    LinkFrame frame;
    if (received.size() < kLinkFrameHeaderBytes)
        return frame;
    const quint32 length = qFromBigEndian<quint32>(received.data());
    if (length > kLinkFrameMaxPayload) {
        frame.status = LinkFrame::Status::Invalid;
        return frame;
    }
    const qsizetype whole = kLinkFrameHeaderBytes + qsizetype(length);
    if (received.size() < whole)
        return frame;
    if (received.size() > whole) {
        // More than announced: not our protocol.
        frame.status = LinkFrame::Status::Invalid;
        return frame;
    }
    frame.status = LinkFrame::Status::Whole;
    frame.command = QString::fromUtf8(received.sliced(kLinkFrameHeaderBytes));
    return frame;
}

QByteArray encodeLinkFrame(QByteArrayView payload) {
    if (payload.size() > qsizetype(kLinkFrameMaxPayload))
        return {};
    QByteArray frame(kLinkFrameHeaderBytes, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    frame += payload;
    return frame;
}
