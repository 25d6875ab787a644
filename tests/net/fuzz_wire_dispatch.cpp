// Feeds arbitrary bytes to the receive path: header decoding, dispatch with stub handlers that
// read records the way the real ones do, and the record decoders.
#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "net/message_dispatcher.h"
#include "wire/message_catalogue.h"
#include "wire/status_records.h"
#include "net/transport.h"

#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    // The whole input goes into the socket up front (bounded so it never blocks), then the
    // writer closes: every read past the input must fail rather than hang.
    const std::size_t n = size < 100000 ? size : 100000;
    std::size_t written = 0;
    while (written < n) {
        const ssize_t w = ::write(fds[1], data + written, n - written);
        if (w <= 0)
            break;
        written += std::size_t(w);
    }
    ::close(fds[1]);

    MessageSocket socket(fds[0]);
    MessageDispatcher dispatcher(socket);
    auto readRecord = [&socket](const MessageHeader& h, auto decode) {
        std::vector<std::byte> payload(h.payloadLength);
        if (!LoopReceive(socket, payload))
            return false;
        (void)decode(payload);
        return true;
    };
    dispatcher.setHandler(MessageId::HELLO48_ACK, [&](const MessageHeader& h) {
        return readRecord(h, [](auto p) {
            auto rec = decodeHelloRecord(p);
            if (rec)
                rearrangeFirmwareSlots(*rec);
            return rec.has_value();
        });
    });
    dispatcher.setHandler(MessageId::DB_CHANGE, [&](const MessageHeader& h) {
        return readRecord(h, [](auto p) { return decodeChannelConfigRecord(p).has_value(); });
    });
    dispatcher.setHandler(MessageId::RIGHT_CHANGE, [&](const MessageHeader& h) {
        return readRecord(h, [](auto p) { return decodeUserRightsTable(p).has_value(); });
    });
    dispatcher.setHandler(MessageId::LIVE_DATA, [&](const MessageHeader& h) {
        return readRecord(h, [](auto p) {
            auto block = decodeFrameInfoBlock(p);
            return block && makeFrameDescriptor(*block, 0).usable();
        });
    });
    dispatcher.setHandler(MessageId::LIVE_NACK, [&](const MessageHeader& h) {
        std::array<std::uint32_t, 2> detail;
        return readNackCode(socket, h, &detail) != kNackReadFailed;
    });
    dispatcher.setEmptyReplyHandler(MessageId::LIVE_STOP_ACK, [](const MessageHeader&) {});

    for (int i = 0; i < 1000; ++i) {
        MessageHeader header;
        if (!receiveHeader(socket, header) || !dispatcher.dispatch(header))
            break;
    }
    return 0;
}
