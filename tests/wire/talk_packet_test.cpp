// The talk packet: 1,536 zero bytes, then 512 bytes of sound; its message header.
#include "wire/message_catalogue.h"
#include "wire/talk_packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kalder {
namespace {

TEST(TalkPacket, SoundSitsBehindZerosAndShortSoundIsPaddedWithSilence) {
    std::vector<std::byte> sound(512);
    for (std::size_t i = 0; i < sound.size(); ++i)
        sound[i] = std::byte(i & 0x7F);
    const TalkPacket packet = encodeTalkPacket(sound);
    EXPECT_TRUE(std::all_of(packet.begin(), packet.begin() + 1536,
                            [](std::byte b) { return b == std::byte{0}; }));
    EXPECT_TRUE(std::equal(sound.begin(), sound.end(), packet.begin() + 1536));
    const auto back = decodeTalkPacket(packet);
    ASSERT_TRUE(back);
    EXPECT_TRUE(std::equal(back->begin(), back->end(), sound.begin()));

    const TalkPacket shortOne = encodeTalkPacket(std::vector<std::byte>(100, std::byte{0x10}));
    EXPECT_EQ(shortOne[1536 + 99], std::byte{0x10});
    EXPECT_EQ(shortOne[1536 + 100], std::byte{0xFF});
    EXPECT_EQ(shortOne[2047], std::byte{0xFF});
    // A longer capture is cut, never written past the packet.
    const TalkPacket longOne = encodeTalkPacket(std::vector<std::byte>(4000, std::byte{0x20}));
    EXPECT_EQ(longOne[2047], std::byte{0x20});
}

TEST(TalkPacket, OnlyAWholePacketDecodesAndTheHeaderIsTheTalkMessage) {
    EXPECT_FALSE(decodeTalkPacket(std::vector<std::byte>(2047)));
    EXPECT_FALSE(decodeTalkPacket(std::vector<std::byte>(2049)));
    const MessageHeader h = talkHeader();
    EXPECT_EQ(h.code, 0x8980);
    EXPECT_EQ(h.messageId(), MessageId::A_TALK_DATA);
    EXPECT_EQ(h.payloadLength, 2048);
    EXPECT_EQ(h.fragmentFlags, 0x4000);
}

} // namespace
} // namespace kalder
