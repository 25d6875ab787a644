// PTZ, firmware and device-command records against their documented byte layouts.
#include "wire/device_records.h"
#include "wire/firmware_records.h"
#include "wire/message_catalogue.h"
#include "wire/ptz_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kalder {
namespace {

std::vector<int> ints(std::span<const std::byte> bytes) {
    std::vector<int> out;
    for (std::byte b : bytes)
        out.push_back(std::to_integer<int>(b));
    return out;
}

std::vector<std::byte> bytesOf(std::string_view text, std::size_t size = 0) {
    std::vector<std::byte> out(std::max(size, text.size()));
    std::memcpy(out.data(), text.data(), text.size());
    return out;
}
// A literal with its embedded zero bytes.
template <std::size_t N> std::vector<std::byte> raw(const char (&text)[N]) {
    return bytesOf(std::string_view(text, N - 1));
}

// Every button of the panel in both modes, against the command table.
TEST(PtzRecords, DirectionButtonsMapToTheCommandTable) {
    struct Case {
        PtzMode mode;
        PtzDirection direction;
        int command;
    };
    const Case cases[] = {
        {PtzMode::PanTilt, PtzDirection::Right, 0},   {PtzMode::PanTilt, PtzDirection::Left, 1},
        {PtzMode::PanTilt, PtzDirection::Up, 2},      {PtzMode::PanTilt, PtzDirection::Down, 3},
        {PtzMode::ZoomFocus, PtzDirection::Up, 4},    {PtzMode::ZoomFocus, PtzDirection::Down, 5},
        {PtzMode::ZoomFocus, PtzDirection::Right, 6}, {PtzMode::ZoomFocus, PtzDirection::Left, 7},
    };
    for (const Case& c : cases) {
        const std::uint8_t command = ptzMoveCommand(c.mode, c.direction);
        EXPECT_EQ(command, c.command);
        EXPECT_EQ(ints(encodePtzCommand({command, 0})), (std::vector<int>{c.command, 0, 0, 0}));
    }
}

// The parameter's low byte goes to byte 1, the high byte to byte 3, byte 2 stays zero.
TEST(PtzRecords, CommandParameterSplitsAroundTheZeroByte) {
    struct Case {
        PtzCommand command;
        std::vector<int> bytes;
    };
    const Case cases[] = {
        {{PtzCommandNumber::PresetSet, 1}, {8, 1, 0, 0}},
        {{PtzCommandNumber::PresetCall, 999}, {9, 0xE7, 0, 3}},
        {{PtzCommandNumber::LearnStart, 9}, {10, 9, 0, 0}},
        {{PtzCommandNumber::LearnEnd, 3}, {11, 3, 0, 0}},
        {{PtzCommandNumber::LearnCall, 7}, {12, 7, 0, 0}},
        {{PtzCommandNumber::DomeMenuEnter, 0}, {13, 0, 0, 0}},
        {{PtzCommandNumber::DomeMenuSelect, 0}, {14, 0, 0, 0}},
        {{PtzCommandNumber::DomeMenuPrevious, 0}, {15, 0, 0, 0}},
        {{PtzCommandNumber::DomeMenuLeave, 0}, {16, 0, 0, 0}},
        {{PtzCommandNumber::TourRun, 4}, {17, 4, 0, 0}},
        {{PtzCommandNumber::PresetSet, 256}, {8, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        const auto bytes = encodePtzCommand(c.command);
        EXPECT_EQ(ints(bytes), c.bytes);
        EXPECT_EQ(decodePtzCommand(bytes), c.command);
    }
    EXPECT_FALSE(decodePtzCommand(std::vector<std::byte>(3)));
}

TEST(PtzRecords, ChannelRequestAndReply) {
    EXPECT_EQ(ints(encodePtzChannelRequest({15, PtzMode::ZoomFocus})),
              (std::vector<int>{15, 1, 0, 0}));
    EXPECT_EQ(ints(encodePtzChannelRequest({2, PtzMode::PanTilt})), (std::vector<int>{2, 0, 0, 0}));
    // Only a first byte of exactly 1 means a camera is there.
    EXPECT_TRUE(decodePtzChannelReply(bytesOf("\x01")));
    EXPECT_TRUE(decodePtzChannelReply(raw("\x01\x09\x09\x09")));
    EXPECT_FALSE(decodePtzChannelReply(bytesOf("\x02")));
    EXPECT_FALSE(decodePtzChannelReply(raw("\0")));
    EXPECT_FALSE(decodePtzChannelReply({}));
}

TEST(DeviceRecords, RecordingStateAfterEachAcknowledgement) {
    struct Case {
        bool onAck;
        std::uint32_t state;
        bool recording;
    };
    const Case cases[] = {
        {true, 49, true},   {true, 51, true},   {true, 50, false}, {true, 0, false},
        {false, 50, false}, {false, 52, false}, {false, 49, true}, {false, 7, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(recordingAfterAck(c.onAck, c.state), c.recording) << c.onAck << " " << c.state;
    EXPECT_EQ(decodeRecordingState(raw("\0\0\0\x31")), 49u);
    EXPECT_FALSE(decodeRecordingState(raw("\0\0\x31")));
    EXPECT_EQ(decodeRecorderTimeReply(raw("\x47\x86\x8C\x00")), 0x47868C00u);
}

TEST(FirmwareRecords, RowsAndSlotsMapBothWays) {
    const int slots[] = {0, 3, 4, 5, 6};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(GetIdxToType(row), slots[row]);
        EXPECT_EQ(GetTypeToIdx(slots[row]), row);
    }
    for (int slot : {1, 2, 7, 19, -1})
        EXPECT_EQ(GetTypeToIdx(slot), -1) << slot;
    EXPECT_EQ(GetIdxToType(5), -1);
    EXPECT_EQ(GetIdxToType(-1), -1);
}

TEST(FirmwareRecords, UpdateRequestGoldenBytes) {
    const FwUpdateRequest request{0x11223344, 5, "front"};
    const auto bytes = encodeFwUpdateRequest(request);
    std::vector<int> expect(56, 0);
    expect[4] = 0x11, expect[5] = 0x22, expect[6] = 0x33, expect[7] = 0x44;
    expect[16] = 5;
    for (int i = 0; i < 5; ++i)
        expect[21 + i] = "front"[i];
    EXPECT_EQ(ints(bytes), expect);
    EXPECT_EQ(decodeFwUpdateRequest(bytes), request);
    // A 32-byte name fills bytes 21-52 and leaves the last three zero.
    const auto full = encodeFwUpdateRequest({1, 0, std::string(40, 'n')});
    EXPECT_EQ(std::to_integer<int>(full[52]), 'n');
    EXPECT_EQ(std::to_integer<int>(full[53]), 0);
}

TEST(FirmwareRecords, DataHeaderCarriesBit14OnlyOnTheLastChunk) {
    const MessageHeader middle = makeFwDataHeader(8000, false);
    EXPECT_EQ(middle.code, 0x4900);
    EXPECT_EQ(middle.payloadLength, 8000);
    EXPECT_EQ(middle.fragmentFlags, 0);
    const MessageHeader last = makeFwDataHeader(1, true);
    EXPECT_EQ(last.fragmentFlags, 0x4000);
    EXPECT_EQ(last.payloadLength, 1);
}

TEST(FirmwareRecords, TrailerPlaceAndContent) {
    std::vector<std::byte> trailer(64);
    trailer[8] = std::byte{0x47}, trailer[9] = std::byte{0x86}, trailer[10] = std::byte{0x8C};
    std::memcpy(trailer.data() + 32, "app", 3);
    const auto t = decodeFirmwareTrailer(trailer);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->buildTime, 0x47868C00u);
    EXPECT_EQ(t->componentName, "app");
    EXPECT_FALSE(decodeFirmwareTrailer(std::span(trailer).first(63)));

    EXPECT_TRUE(trailerAtEnd(raw("\x14\x00\x00\xEA")));
    EXPECT_FALSE(trailerAtEnd(raw("\xEA\x00\x00\x14")));
    EXPECT_FALSE(trailerAtEnd(raw("\x14\x00")));
}

TEST(FirmwareRecords, BootImageTextDate) {
    std::string head = "xx VBoot-2.1.0 build ";
    head += "(Jan 05 2007 - 10:20:30)";
    const auto info = decodeBootImageHead(bytesOf(head, 256));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->idText, "Boot-2.1.0 ");
    EXPECT_EQ(info->sentName, head.substr(0, 15));
    EXPECT_EQ(info->buildTime, (BootImageTime{2007, 1, 5, 10, 20, 30}));

    // No '(' or an unknown month: no date, so not offered.
    EXPECT_FALSE(decodeBootImageHead(bytesOf("xx VBoot-2.1.0 no date here", 256)));
    EXPECT_FALSE(decodeBootImageHead(bytesOf("xx VBoot-2.1.0 (Foo 05 2007 - 10:20:30)", 256)));
    EXPECT_FALSE(decodeBootImageHead(bytesOf("xx Vboot-2.1.0 (Jan 05 2007 - 10:20:30)", 256)));
    // A '(' at the very end of the 256 bytes: the numbers are not read past them.
    std::string late = "xx VBoot-2.1.0";
    late.resize(251, ' ');
    late += "(Dec 3";
    const auto edge = decodeBootImageHead(bytesOf(late));
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->buildTime.month, 12);
    EXPECT_EQ(edge->buildTime.day, 0);
}

} // namespace
} // namespace kalder
