// Every receive handler of the session with arbitrary payloads of arbitrary lengths, after a
// valid login and live start. The input is a list of records: one byte choosing the handler,
// one byte of header bits (bit 0: last fragment, bit 1: the recorder's audio flag, bits 2-5:
// the fragment's channel bits), two bytes of claimed payload length (big-endian), then as many
// payload bytes as the input still holds up to that length. A claimed length beyond the input
// makes the read fail at the end, as a recorder that hangs up mid-message does.
#include "fuzz_session_driver.h"

using namespace kalder;

namespace {

constexpr std::uint16_t kHandled[] = {
    MessageId::HELLO48_ACK,        MessageId::BYE48,
    MessageId::LIVE_CHANNEL_INFO,  MessageId::LIVE_DATA,
    MessageId::LIVE_NACK,          MessageId::LIVE_STOP_ACK,
    MessageId::LIVE_STOP_NACK,     MessageId::SYS_ETC_INFO_EX,
    MessageId::REC_ON_ACK,         MessageId::REC_ON_NACK,
    MessageId::REC_OFF_ACK,        MessageId::REC_OFF_NACK,
    MessageId::DST_INFO,           MessageId::DVR_TIME_ACK,
    MessageId::NETLIVE_CH_CHANGE,  MessageId::REC_STATUS,
    MessageId::NOTICE_257,         MessageId::DB_CHANGE,
    MessageId::SYS_ETC_INFO,       MessageId::RIGHT_CHANGE,
    MessageId::DB_INIT_ACK,        MessageId::DB_INIT_NACK,
    MessageId::REBOOT_ACK,         MessageId::REBOOT_NACK,
    MessageId::POWEROFF_ACK,       MessageId::POWEROFF_NACK,
    MessageId::SEND_TEST_MAIL_ACK, MessageId::SEND_TEST_MAIL_NACK,
    MessageId::ALIVE_REQ,          MessageId::DB_INFO_ACK,
    MessageId::DB48_INFO_NACK,     MessageId::DB_UPDATE_ACK,
    MessageId::DB_UPDATE_NACK,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    std::vector<std::uint8_t> stream;
    fuzz::appendLoginAndLive(stream, 16, data[0]);
    std::size_t i = 2;
    while (i + 4 <= size && stream.size() < 100000) {
        MessageHeader h = makeHeader(kHandled[data[i] % std::size(kHandled)]);
        const std::uint8_t bits = data[i + 1];
        if (bits & 1)
            h.fragmentFlags |= kFragmentLast;
        if (bits & 2)
            h.code |= kCodeAudioFlag;
        h.setFragmentChannel((bits >> 2) & 0x0F);
        h.payloadLength = static_cast<std::uint16_t>((data[i + 2] << 8) | data[i + 3]);
        i += 4;
        const std::size_t n = std::min<std::size_t>(h.payloadLength, size - i);
        for (std::byte b : encodeHeader(h))
            stream.push_back(std::to_integer<std::uint8_t>(b));
        stream.insert(stream.end(), data + i, data + i + n);
        i += n;
    }
    fuzz::runSession(stream, data[1] & 0x0F);
    return 0;
}
