// The link's frame reader. The server parses everything a client has sent so far on
// every read, so the properties are stated over prefixes: a frame is accepted exactly
// when it is whole and announces at most 65,536 bytes, no prefix of it is accepted or
// refused early, and once refused a longer input stays refused. The size limit itself
// is checked over a real socket by the link's unit test.
#include "FuzzSupport.h"
#include "LinkFrame.h"

#include <QtEndian>

namespace {

LinkFrame::Status expectedStatus(QByteArrayView bytes) {
    if (bytes.size() < 4)
        return LinkFrame::Status::Incomplete;
    const quint64 announced = qFromBigEndian<quint32>(bytes.data());
    if (announced > 65536)
        return LinkFrame::Status::Invalid;
    const quint64 body = quint64(bytes.size() - 4);
    if (body < announced)
        return LinkFrame::Status::Incomplete;
    return body == announced ? LinkFrame::Status::Whole : LinkFrame::Status::Invalid;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(data, qsizetype(size));

    // The raw input as what a client sent, read after every byte that arrives.
    bool refused = false;
    for (qsizetype n = 0; n <= input.size(); ++n) {
        const LinkFrame::Status status = parseLinkFrame(input.first(n)).status;
        FUZZ_CHECK(status == expectedStatus(input.first(n)));
        FUZZ_CHECK(!refused || status == LinkFrame::Status::Invalid);
        refused = status == LinkFrame::Status::Invalid;
    }
    const LinkFrame whole = parseLinkFrame(input);
    FUZZ_CHECK(whole.command ==
               (whole.status == LinkFrame::Status::Whole ? QString::fromUtf8(input.sliced(4)) : QString()));

    // What our own client sends arrives whole and unchanged.
    const QString command = QString::fromUtf8(input);
    const QByteArray frame = encodeLinkFrame(command.toUtf8());
    const LinkFrame read = parseLinkFrame(frame);
    FUZZ_CHECK(read.status == LinkFrame::Status::Whole);
    FUZZ_CHECK(read.command == command);

    return 0;
}
