#include "wire/talk_packet.h"

#include "wire/message_catalogue.h"

#include <algorithm>

namespace kalder {

TalkPacket encodeTalkPacket(std::span<const std::byte> sound) {
    TalkPacket packet;
    packet.fill(std::byte{0});
    const auto sink = std::span(packet).subspan(kTalkSoundOffset);
    std::fill(sink.begin(), sink.end(), std::byte{0xFF});
    std::copy_n(sound.begin(), std::min(sound.size(), kTalkSoundSize), sink.begin());
    return packet;
}

std::optional<std::array<std::byte, kTalkSoundSize>>
decodeTalkPacket(std::span<const std::byte> payload) {
    if (payload.size() != kTalkPacketSize)
        return std::nullopt;
    std::array<std::byte, kTalkSoundSize> sound;
    std::copy_n(payload.begin() + kTalkSoundOffset, kTalkSoundSize, sound.begin());
    return sound;
}

MessageHeader talkHeader() {
    MessageHeader header = makeHeader(MessageId::A_TALK_DATA, kTalkPacketSize);
    header.fragmentFlags = kFragmentLast;
    return header;
}

} // namespace kalder
