// The recorder's small message records, decoded straight from the fuzzer's bytes: the first byte
// picks the decoder, the rest is the payload. Records with an encoder must come back unchanged
// from a second decode of their own encoding.
#include "fuzz_input.h"
#include "wire/device_records.h"
#include "wire/firmware_records.h"
#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "wire/message_header.h"
#include "wire/ptz_records.h"
#include "wire/recorder_time.h"
#include "wire/search_records.h"
#include "wire/status_info_record.h"
#include "wire/status_records.h"
#include "wire/talk_packet.h"

#include <cstdlib>

using namespace kalder;

namespace {

// decode(encode(r)) == r for every record decode accepted.
template <typename Decode, typename Encode>
void roundTrip(std::span<const std::byte> payload, Decode decode, Encode encode) {
    if (const auto record = decode(payload)) {
        const auto again = encode(*record);
        const auto second = decode(std::span<const std::byte>(again));
        if (!second || !(*second == *record))
            std::abort();
    }
}

void frameBlock(std::span<const std::byte> frame) {
    const auto block = decodeFrameInfoBlock(frame);
    if (!block) {
        if (frame.size() >= kFrameInfoBlockSize)
            std::abort();
        return;
    }
    const FrameDescriptor d = makeFrameDescriptor(*block, 7);
    (void)d.usable();
    (void)pictureSizeFor(block->resolutionCode, block->lineStandard625);
    // The sound element is built only from bytes that are there; ASan checks the reads.
    (void)audioElementOf(d, frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    const std::span<const std::byte> p = in.rest();
    switch (pick % 16) {
    case 0:
        if (p.size() >= kHeaderSize) {
            const MessageHeader h = decodeHeader(p.first<kHeaderSize>());
            if (decodeHeader(encodeHeader(h)) != h)
                std::abort();
            (void)h.fragmentChannel();
        }
        break;
    case 1:
        if (const auto nack = decodeNackPayload(p); nack && nack->errorDetail && p.size() != 12)
            std::abort();
        break;
    case 2:
        (void)decodeHelloPayload(p);
        break;
    case 3:
        roundTrip(p, decodeHelloRecord, encodeHelloRecord);
        if (auto hello = decodeHelloRecord(p))
            rearrangeFirmwareSlots(*hello);
        break;
    case 4:
        roundTrip(p, decodeChannelConfigRecord, encodeChannelConfigRecord);
        break;
    case 5:
        roundTrip(p, decodeLiveViewRights, encodeLiveViewRights);
        break;
    case 6:
        roundTrip(p, decodeUserRightsTable, encodeUserRightsTable);
        if (const auto table = decodeUserRightsTable(p))
            for (std::size_t u = 0; u <= kUserCount; ++u)
                (void)table->value(UserRight::AccessLevel, u);
        break;
    case 7:
        if (const auto status = decodeRecStatus(p))
            (void)status->recording();
        break;
    case 8:
        if (const auto state = decodeRecordingState(p))
            (void)recordingAfterAck(p.size() & 1, *state);
        if (const auto time = decodeRecorderTimeReply(p))
            (void)decodeRecorderTime(*time);
        break;
    case 9: {
        const StatusInfoRecord info = decodeStatusInfo(p);
        if (info.diskDetails == (p.size() == kStatusInfoShortSize))
            std::abort();
        break;
    }
    case 10:
        (void)decodeTalkPacket(p);
        break;
    case 11:
        (void)decodePtzChannelRequest(p);
        (void)decodePtzChannelReply(p);
        roundTrip(p, decodePtzCommand, encodePtzCommand);
        break;
    case 12:
        roundTrip(p, decodeFwUpdateRequest, encodeFwUpdateRequest);
        break;
    case 13:
        if (const auto q = decodeDayQuery(p))
            (void)daysInMonth(q->year, q->month);
        break;
    case 14:
        frameBlock(p);
        break;
    default:
        for (std::size_t i = 0; i + 4 <= p.size() && i < 64; i += 4) {
            const std::uint32_t t = std::to_integer<std::uint32_t>(p[i]) << 24 |
                                    std::to_integer<std::uint32_t>(p[i + 1]) << 16 |
                                    std::to_integer<std::uint32_t>(p[i + 2]) << 8 |
                                    std::to_integer<std::uint32_t>(p[i + 3]);
            (void)decodeRecorderTime(t);
        }
        break;
    }
    return 0;
}
