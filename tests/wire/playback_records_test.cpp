#include "wire/playback_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kalder {
namespace {

std::vector<int> ints(std::span<const std::byte> bytes) {
    std::vector<int> out;
    for (std::byte b : bytes)
        out.push_back(std::to_integer<int>(b));
    return out;
}

TEST(PlayOnRequest, GoldenBytesAndRoundTrip) {
    const PlayOnRequest request{0x00008005, 0x3F, 0x5F5E1000, 0x5F5E1E10};
    const auto bytes = encodePlayOnRequest(request);
    const std::vector<int> expect = {0x00, 0x00, 0x80, 0x05, 0x3F, 0,    0,    0,
                                     0,    0,    0,    0,    0,    0,    0,    0,
                                     0x5F, 0x5E, 0x10, 0x00, 0x5F, 0x5E, 0x1E, 0x10};
    EXPECT_EQ(ints(bytes), expect);
    EXPECT_EQ(decodePlayOnRequest(bytes), request);
    // Only the exact size is a request.
    EXPECT_FALSE(decodePlayOnRequest(std::span(bytes).first(23)));
}

TEST(PlayPosition, VersionByteAtOffsetFiveAndPositionAtSixteen) {
    const PlayPosition position{0xFFFF, 1, 0x01020304};
    const auto bytes = encodePlayPosition(position);
    const std::vector<int> expect = {0, 0, 0xFF, 0xFF, 0, 1, 0, 0, 0, 0, 0, 0,
                                     0, 0, 0,    0,    1, 2, 3, 4, 0, 0, 0, 0};
    EXPECT_EQ(ints(bytes), expect);
    EXPECT_EQ(decodePlayPosition(bytes), position);

    EXPECT_EQ(playPositionVersionByte(1, 0), 0);
    EXPECT_EQ(playPositionVersionByte(1, 1), 1);
    EXPECT_EQ(playPositionVersionByte(2, 0), 1);
    EXPECT_EQ(playPositionVersionByte(0, 9), 0);
}

TEST(PlayWord, BigEndianAndExactSize) {
    EXPECT_EQ(ints(encodePlayWord(93)), (std::vector<int>{0, 0, 0, 93}));
    const std::array<std::byte, 4> word{std::byte{0}, std::byte{0}, std::byte{0x01},
                                        std::byte{0x30}};
    EXPECT_EQ(decodePlayWord(word), 0x130u);
    EXPECT_FALSE(decodePlayWord(std::span(word).first(3)));
}

TEST(RecordingFrameHeader, FieldOffsetsAndTitle) {
    RecordingFrameHeader header;
    header.titlePresent = 1;
    header.frameTime = 0x11223344;
    header.segmentKey = 7;
    header.recordingParams = {1, 2, 3, 4};
    header.title = "Gate";
    const auto bytes = encodeRecordingFrameHeader(header);
    EXPECT_EQ(std::memcmp(bytes.data(), "kaldrvid\0", 9), 0);
    EXPECT_EQ(std::to_integer<int>(bytes[20]), 1);
    EXPECT_EQ(ints(std::span(bytes).subspan(24, 4)), (std::vector<int>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(std::to_integer<int>(bytes[40]), 7);
    EXPECT_EQ(ints(std::span(bytes).subspan(48, 4)), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(std::memcmp(bytes.data() + 96, "Gate\0", 5), 0);
    EXPECT_EQ(decodeRecordingFrameHeader(bytes), header);
    EXPECT_TRUE(recordingTagMatches(bytes));
    EXPECT_FALSE(decodeRecordingFrameHeader(std::span(bytes).first(191)));
}

TEST(RecordingFrameHeader, TagMustMatchWholeText) {
    auto bytes = encodeRecordingFrameHeader({});
    EXPECT_TRUE(recordingTagMatches(bytes));
    // A longer text that starts with the tag is another tag.
    bytes[8] = std::byte{'x'};
    EXPECT_FALSE(recordingTagMatches(bytes));
    bytes[8] = std::byte{0};
    bytes[0] = std::byte{'K'};
    EXPECT_FALSE(recordingTagMatches(bytes));
    EXPECT_FALSE(recordingTagMatches(std::span(bytes).first(8)));
}

TEST(PlaySpeed, CodeTableOfNewerRecorders) {
    const int expect[16] = {0, 0, 0, 0, 0, 0, -4, -3, -2, -1, 0, 1, 2, 3, 4, 0};
    for (unsigned code = 0; code < 16; ++code)
        EXPECT_EQ(playSpeedForCode(code), expect[code]) << code;
    EXPECT_EQ(playSpeedForCode(63), 0);
    for (int speed : {-4, -3, -2, -1, 1, 2, 3, 4})
        EXPECT_EQ(playSpeedForCode(playCodeForSpeed(speed)), speed);
    EXPECT_EQ(playCodeForSpeed(0), 0u);
}

} // namespace
} // namespace kalder
