// Feeds arbitrary bytes to the receive path: LoopReceive over bytes in memory, header decoding,
// dispatch with stub handlers that read records the way the real ones do, and the record
// decoders.
#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "net/message_dispatcher.h"
#include "wire/message_catalogue.h"
#include "wire/status_records.h"
#include "net/transport.h"

#include <vector>

using namespace kalder;

namespace {

// The source and the dispatcher with its handlers, built once: each input only gives the source
// new bytes.
struct Receiver {
    MemorySource source{{}};
    MessageDispatcher dispatcher{source};

    Receiver() {
        auto readRecord = [this](const MessageHeader& h, auto decode) {
            std::vector<std::byte> payload(h.payloadLength);
            if (!LoopReceive(source, payload))
                return false;
            (void)decode(payload);
            return true;
        };
        dispatcher.setHandler(MessageId::HELLO48_ACK, [=](const MessageHeader& h) {
            return readRecord(h, [](auto p) {
                auto rec = decodeHelloRecord(p);
                if (rec)
                    rearrangeFirmwareSlots(*rec);
                return rec.has_value();
            });
        });
        dispatcher.setHandler(MessageId::DB_CHANGE, [=](const MessageHeader& h) {
            return readRecord(h, [](auto p) { return decodeChannelConfigRecord(p).has_value(); });
        });
        dispatcher.setHandler(MessageId::RIGHT_CHANGE, [=](const MessageHeader& h) {
            return readRecord(h, [](auto p) { return decodeUserRightsTable(p).has_value(); });
        });
        dispatcher.setHandler(MessageId::LIVE_DATA, [=](const MessageHeader& h) {
            return readRecord(h, [](auto p) {
                auto block = decodeFrameInfoBlock(p);
                return block && makeFrameDescriptor(*block, 0).usable();
            });
        });
        dispatcher.setHandler(MessageId::LIVE_NACK, [this](const MessageHeader& h) {
            std::array<std::uint32_t, 2> detail;
            return readNackCode(source, h, &detail) != kNackReadFailed;
        });
        dispatcher.setEmptyReplyHandler(MessageId::LIVE_STOP_ACK, [](const MessageHeader&) {});
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Receiver receiver;
    // The input is what the recorder sent before it closed: every read past it fails at once,
    // as on a socket whose peer has closed, and dropped messages cost no pause.
    receiver.source.reset(std::as_bytes(std::span(data, size)));
    for (int i = 0; i < 1000; ++i) {
        MessageHeader header;
        if (!receiveHeader(receiver.source, header) || !receiver.dispatcher.dispatch(header))
            break;
    }
    return 0;
}
