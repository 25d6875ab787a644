#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "wire/status_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

TEST(FrameInfoBlock, GoldenLittleEndianLayout) {
    FrameInfoBlock b;
    b.channel = 0x5;
    b.audioChannelNibble = 0x2;
    b.resolutionCode = 0x9;
    b.totalLength = 0x12345;
    b.infoWord = 0x11223344;
    b.lineStandard625 = true;
    b.videoLength = 0xABCDE;
    b.audioLength = 0x800;
    b.audioMarker = 0x0102;
    b.infoHalf = 999;
    b.frameType = 1;
    const auto bytes = encodeFrameInfoBlock(b);
    const std::vector<int> expect = {0xFF, 0x01, 0x00, 0x00, 0, 0, 0, 0, // magic, unused
                                     0x25, 0x59, 0x34, 0x12, // ch 5, audio 2, res 9, total 0x12345
                                     0x44, 0x33, 0x22, 0x11, // infoWord
                                     0x00, 0x00, 0x80, 0x00, // bit 23: 625 lines
                                     0xDE, 0xBC, 0x0A, 0x80, // video 0xABCDE, audio 0x800
                                     0x02, 0x01, 0xE7, 0x03, // marker, milliseconds
                                     0x01, 0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0}; // frame type
    std::vector<int> got;
    for (std::byte x : bytes)
        got.push_back(std::to_integer<int>(x));
    EXPECT_EQ(got, expect);
    auto back = decodeFrameInfoBlock(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, b);
    EXPECT_FALSE(decodeFrameInfoBlock(std::span(bytes).first(39)));
}

TEST(FrameInfoBlock, PictureSizeTable) {
    struct Case {
        int code;
        bool pal;
        PictureSize size;
    } const cases[] = {
        {1, false, {704, 480}}, {4, true, {704, 576}},   {8, false, {704, 480}},
        {5, true, {704, 288}},  {9, false, {704, 240}},  {0, false, {352, 240}},
        {6, true, {352, 288}},  {15, false, {352, 240}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pictureSizeFor(c.code, c.pal), c.size) << c.code;
    EXPECT_TRUE(isUsablePictureSize(360, 288));
    EXPECT_TRUE(isUsablePictureSize(720, 480));
    EXPECT_FALSE(isUsablePictureSize(352, 480));
    EXPECT_FALSE(isUsablePictureSize(704, 300));
    EXPECT_FALSE(isUsablePictureSize(0, 0));
}

TEST(FrameDescriptor, BuiltFromBlock) {
    FrameInfoBlock b;
    b.channel = 3;
    b.resolutionCode = 5;
    b.lineStandard625 = true;
    b.videoLength = 1000;
    b.audioLength = 2048;
    b.audioChannelNibble = 7;
    b.frameType = 1;
    b.infoWord = 42;
    b.infoHalf = 500;
    FrameDescriptor d = makeFrameDescriptor(b, 9);
    EXPECT_EQ(d.channel, 3);
    EXPECT_EQ(d.width, 704);
    EXPECT_EQ(d.height, 288);
    EXPECT_EQ(d.blockLength, 1040u);
    EXPECT_EQ(d.streamGeneration, 9u);
    EXPECT_EQ(d.audioChannel, 255); // no audio marker
    EXPECT_TRUE(d.keyFrame());
    b.audioMarker = 1;
    EXPECT_EQ(makeFrameDescriptor(b, 0).audioChannel, 7);
}

TEST(HelloRecord, RoundTripAndFirmwareSlots) {
    HelloRecord h;
    h.protocol_major_ver = 1;
    h.protocol_minor_ver = 2;
    h.product_number = 4;
    h.channel_num = 16;
    h.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    h.flags = 3;
    for (std::size_t i = 0; i < kFirmwareEntries; ++i) {
        h.firmName[i] = "part" + std::to_string(i);
        h.firmVer[i] = 1000 + static_cast<std::uint32_t>(i);
    }
    h.firmName[19] = std::string(32, 'x'); // fills the field: no terminating zero on the wire
    const auto bytes = encodeHelloRecord(h);
    EXPECT_EQ(std::to_integer<int>(bytes[8]), 0x00);
    EXPECT_EQ(std::to_integer<int>(bytes[13]), 0x5E);
    EXPECT_EQ(std::to_integer<int>(bytes[16]), 3);
    EXPECT_EQ(std::to_integer<int>(bytes[48]), 'p');
    EXPECT_EQ(std::to_integer<int>(bytes[688 + 3]), 1000 & 0xFF); // big-endian versions
    auto back = decodeHelloRecord(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, h);
    EXPECT_FALSE(decodeHelloRecord(std::span(bytes).first(767)));

    rearrangeFirmwareSlots(*back);
    EXPECT_EQ(back->firmName[0], "part0");
    EXPECT_EQ(back->firmName[3], "part2");
    EXPECT_EQ(back->firmVer[4], 1005u);
    EXPECT_EQ(back->firmName[5], "part3");
    EXPECT_EQ(back->firmName[6], "part4");
    EXPECT_EQ(back->firmName[1], "");
    EXPECT_EQ(back->firmVer[2], 0u);
    EXPECT_EQ(back->firmName[19], "");
}

TEST(HelloPayload, LowerCasedAndZeroPadded) {
    const auto bytes = encodeHelloPayload({"AdMiN", "PassWORD"});
    EXPECT_EQ(std::to_integer<char>(bytes[0]), 'a');
    EXPECT_EQ(std::to_integer<char>(bytes[4]), 'n');
    EXPECT_EQ(std::to_integer<int>(bytes[5]), 0);
    EXPECT_EQ(std::to_integer<char>(bytes[16]), 'p');
    auto back = decodeHelloPayload(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->userId, "admin");
    EXPECT_EQ(back->password, "password");
}

TEST(StatusRecords, RoundTripsAndExactSizes) {
    ChannelConfigRecord c;
    c.word0 = 7;
    c.covert[2] = 1;
    c.titles[0] = "Gate";
    c.titles[15] = "Yard";
    c.audioChannel = 3;
    c.archive_pass = "12345678";
    const auto cb = encodeChannelConfigRecord(c);
    EXPECT_EQ(std::to_integer<int>(cb[4 + 2]), 1);
    EXPECT_EQ(std::to_integer<char>(cb[20]), 'G');
    EXPECT_EQ(std::to_integer<int>(cb[540]), 3);
    EXPECT_EQ(decodeChannelConfigRecord(cb), c);
    EXPECT_FALSE(decodeChannelConfigRecord(std::span(cb).first(595)));

    UserRightsTable t;
    t.rights[static_cast<int>(UserRight::Login)][1] = 1;
    t.rights[static_cast<int>(UserRight::AccessLevel)][1] = 2;
    t.names[1] = "user";
    t.passwords[1] = "1111";
    const auto tb = encodeUserRightsTable(t);
    EXPECT_EQ(std::to_integer<int>(tb[48 + 1]), 1);
    EXPECT_EQ(std::to_integer<int>(tb[64 + 1]), 2);
    EXPECT_EQ(std::to_integer<char>(tb[72 + 32]), 'u');
    EXPECT_EQ(std::to_integer<char>(tb[328 + 32]), '1');
    EXPECT_EQ(decodeUserRightsTable(tb), t);
    EXPECT_TRUE(t.granted(UserRight::Login, 1));
    EXPECT_FALSE(t.granted(UserRight::Login, 8));
    EXPECT_FALSE(decodeUserRightsTable(std::span(tb).first(583)));

    LiveViewRights l;
    l.allowed[2][5] = 1;
    const auto lb = encodeLiveViewRights(l);
    EXPECT_EQ(std::to_integer<int>(lb[16 * 2 + 5]), 1);
    EXPECT_EQ(decodeLiveViewRights(lb), l);

    RecStatus s{0, 5, 0, 0};
    EXPECT_TRUE(decodeRecStatus(encodeRecStatus(s))->recording());
    s.recordingMode = 6;
    EXPECT_FALSE(decodeRecStatus(encodeRecStatus(s))->recording());
}

} // namespace
} // namespace kalder
