#include "wire/message_header.h"

#include "wire/message_catalogue.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

std::vector<int> bytesOf(const std::array<std::byte, kHeaderSize>& bytes) {
    std::vector<int> v;
    for (std::byte b : bytes)
        v.push_back(std::to_integer<int>(b));
    return v;
}

TEST(MessageHeader, GoldenBytesOfCodesAndFields) {
    // id 4 (BYE48): code 0x0200 in bytes 2-3, everything else zero.
    EXPECT_EQ(bytesOf(encodeHeader(makeHeader(MessageId::BYE48))),
              (std::vector<int>{0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // id 511: code 0xFF80.
    EXPECT_EQ(bytesOf(encodeHeader(makeHeader(511)))[2], 0xFF);
    EXPECT_EQ(bytesOf(encodeHeader(makeHeader(511)))[3], 0x80);

    // Fragment flags travel before the payload length (the two halves of word 1 swap).
    MessageHeader h = makeHeader(MessageId::LIVE_DATA, 0x1234);
    h.fragmentFlags = kFragmentLast | 0x0005;
    h.headerWord2 = 0x01020304;
    h.headerWord3 = 0xA0B0C0D0;
    EXPECT_EQ(bytesOf(encodeHeader(h)), (std::vector<int>{0, 0, 0x09, 0x00, 0x40, 0x05, 0x12, 0x34,
                                                          1, 2, 3, 4, 0xA0, 0xB0, 0xC0, 0xD0}));
    EXPECT_EQ(decodeHeader(encodeHeader(h)), h);
}

TEST(MessageHeader, SpecialCodeWords) {
    EXPECT_EQ(codeForId(MessageId::TRANS_OFF_REQ), 0x3300);
    // AUDIO_ONOFF_REQ on and off differ only in bit 3.
    MessageHeader on = makeHeader(MessageId::AUDIO_ONOFF_REQ);
    on.code |= kCodeAudioFlag;
    EXPECT_EQ(on.code, 0x0B88);
    EXPECT_EQ(on.code ^ makeHeader(MessageId::AUDIO_ONOFF_REQ).code, 0x0008);
    EXPECT_EQ(on.messageId(), MessageId::AUDIO_ONOFF_REQ);
    EXPECT_TRUE(on.audioFlag());
    // Every code from 0xFF80 to 0xFFFF carries id 511.
    EXPECT_EQ(idForCode(0xFFFF), 511);
    EXPECT_EQ(idForCode(0xFF80), 511);
}

TEST(MessageHeader, UpperHalfOfWordZeroIsIgnored) {
    std::array<std::byte, kHeaderSize> raw{};
    raw[0] = std::byte{0xDE};
    raw[1] = std::byte{0xAD};
    raw[2] = std::byte{0x08};
    raw[3] = std::byte{0x80};
    const MessageHeader h = decodeHeader(raw);
    EXPECT_EQ(h.code, 0x0880);
    EXPECT_EQ(h.messageId(), MessageId::LIVE_CHANNEL_INFO);
    EXPECT_EQ(h.payloadLength, 0);
}

TEST(MessageHeader, ChannelInFragmentFlagsKeepsOtherBits) {
    MessageHeader h;
    h.fragmentFlags = kFragmentLast | 0x3F;
    h.setFragmentChannel(13);
    EXPECT_EQ(h.fragmentChannel(), 13u);
    EXPECT_TRUE(h.lastFragment());
    EXPECT_EQ(h.fragmentFlags & kFragmentSpeedMask, 0x3F);
    h.setFragmentChannel(0);
    EXPECT_EQ(h.fragmentFlags, kFragmentLast | 0x3F);
}

TEST(NackPayload, DecodesCodeDetailAndShortPayloads) {
    const std::array<std::byte, 12> twelve = {
        std::byte{0xFF}, std::byte{0xFF}, std::byte{0xFF}, std::byte{0xFE}, // -2
        std::byte{0},    std::byte{0},    std::byte{0x01}, std::byte{0x00}, // 256
        std::byte{0},    std::byte{0},    std::byte{0},    std::byte{0x07}};
    auto nack = decodeNackPayload(twelve);
    ASSERT_TRUE(nack);
    EXPECT_EQ(nack->errorCode, -2);
    ASSERT_TRUE(nack->errorDetail);
    EXPECT_EQ((*nack->errorDetail)[0], 256u);
    EXPECT_EQ((*nack->errorDetail)[1], 7u);

    // Four bytes: no detail area. Eight bytes: still none (only exactly 12 carries one).
    auto four = decodeNackPayload(std::span(twelve).first(4));
    ASSERT_TRUE(four);
    EXPECT_FALSE(four->errorDetail);
    EXPECT_FALSE(decodeNackPayload(std::span(twelve).first(8))->errorDetail);

    // One to three bytes: the missing bytes count as zero.
    const std::array<std::byte, 3> three = {std::byte{0}, std::byte{0}, std::byte{0x21}};
    EXPECT_EQ(decodeNackPayload(three)->errorCode, 0x2100);
    EXPECT_FALSE(decodeNackPayload({}));
}

} // namespace
} // namespace kalder
