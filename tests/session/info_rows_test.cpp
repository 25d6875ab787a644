// The status reply's record and the rows of the status and system information views.
#include "session/info_rows.h"
#include "wire/status_info_record.h"

#include <gtest/gtest.h>

namespace kalder {
namespace {

std::string label(int id) {
    return "#" + std::to_string(id);
}

std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values)
        out.push_back(std::byte(v));
    return out;
}

TEST(StatusInfo, SizeTexts) {
    EXPECT_EQ(sizeText(0), "    0 MByte");
    EXPECT_EQ(sizeText(1023), " 1023 MByte");
    EXPECT_EQ(sizeText(1024), "    1 GByte");
    EXPECT_EQ(sizeText(1048575), " 1023 GByte");
    EXPECT_EQ(sizeText(1048576), "  1.00 TByte");
    EXPECT_EQ(sizeText(1572864), "  1.50 TByte");
    EXPECT_EQ(sizeText(0xFFFFFFFFu), "4096.00 TByte");
}

TEST(StatusInfo, DecodesSixteenAndTwentyEightBytes) {
    const auto shortReply = bytes({0, 0, 0x80, 0x05, 0, 0, 0, 2, 0, 0, 4, 0, 0, 0, 1, 0});
    const StatusInfoRecord s = decodeStatusInfo(shortReply);
    EXPECT_EQ(s.rec_channel_mask, 0x8005u);
    EXPECT_EQ(s.rec_mode, 2u);
    EXPECT_EQ(s.disk_size_mb, 1024u);
    EXPECT_EQ(s.disk_part_mb, 256u);
    EXPECT_FALSE(s.diskDetails);
    EXPECT_EQ(encodeStatusInfo(s), shortReply);

    auto longReply = shortReply;
    for (int v : {1, 0, 1, 0, 40, 0, 0, 0, 2, 0, 1, 0})
        longReply.push_back(std::byte(v));
    const StatusInfoRecord l = decodeStatusInfo(longReply);
    EXPECT_TRUE(l.diskDetails);
    EXPECT_EQ(l.disk_present[2], 1);
    EXPECT_EQ(l.disk_value[0], 40);
    EXPECT_EQ(l.disk_state[0], 2);
    EXPECT_EQ(encodeStatusInfo(l), longReply);

    // Shorter than 28 and not 16: the missing fields are zero, the details are shown.
    const StatusInfoRecord cut = decodeStatusInfo(std::span(longReply).first(6));
    EXPECT_EQ(cut.rec_channel_mask, 0x8005u);
    EXPECT_EQ(cut.rec_mode, 0u);
    EXPECT_EQ(cut.disk_size_mb, 0u);
    EXPECT_TRUE(cut.diskDetails);
}

TEST(StatusInfo, RowsWithoutAndWithDiskDetails) {
    StatusInfoRecord s;
    s.rec_channel_mask = 0x0003;
    s.rec_mode = 1;
    s.disk_size_mb = 2048;
    s.disk_part_mb = 4096; // larger second quantity: the difference wraps as unsigned
    const auto rows = statusRows(s, 4, label);
    ASSERT_EQ(rows.size(), 3u + 1u + 4u);
    EXPECT_EQ(rows[0].value, "    2 GByte");
    EXPECT_EQ(rows[1].value, sizeText(0xFFFFF800u));
    EXPECT_EQ(rows[2].value, "    4 GByte");
    EXPECT_EQ(rows[3].label, "");
    EXPECT_EQ(rows[4].label, "#6403 01");
    EXPECT_EQ(rows[4].value, "#6411");
    EXPECT_EQ(rows[6].value, "#6404");

    s.diskDetails = true;
    s.disk_present = {1, 0, 0, 1};
    s.disk_value = {0, 9, 9, 38};
    s.disk_state = {2, 0, 0, 7};
    const auto details = statusRows(s, 4, label);
    ASSERT_EQ(details.size(), rows.size() + 1u + 4u);
    EXPECT_EQ(details[9].label, "#64051");
    EXPECT_EQ(details[9].value, "#6406: #6404");
    EXPECT_EQ(details[10].value, "#6407: #6422");
    EXPECT_EQ(details[11].label, "#64054");
    EXPECT_EQ(details[11].value, "#6406: 38 #6408");
    EXPECT_EQ(details[12].value, "#6407: #6404");
}

TEST(StatusInfo, AnUnknownModeShowsNoValueForRecordingChannels) {
    StatusInfoRecord s;
    s.rec_channel_mask = 0xFFFF;
    s.rec_mode = 6;
    const auto rows = statusRows(s, 16, label);
    ASSERT_EQ(rows.size(), 20u);
    for (std::size_t i = 4; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].value, "#6404");
}

TEST(SystemInfo, RowsOfTheConnectionAndFirmware) {
    SystemFacts facts;
    facts.address = "192.168.0.7";
    facts.port = 2000;
    facts.siteText = "Shop";
    facts.hello.mac = {0x00, 0x1a, 0xbc, 0x0d, 0xef, 0xff};
    facts.hello.firmVer[0] = 0;
    facts.hello.firmVer[3] = 0x80000000u; // negative: 1970
    facts.hello.firmVer[4] = 1172844309;  // 2007-03-02 14:05:09 UTC
    facts.hello.firmName[4] = "main.bin";
    const auto rows = systemRows(facts, label);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0].value, "192.168.0.7");
    EXPECT_EQ(rows[1].value, "2000");
    EXPECT_EQ(rows[2].value, "Shop");
    EXPECT_EQ(rows[3].value, "00:1A:BC:0D:EF:FF");
    EXPECT_EQ(rows[5].value, "1970  0101  0000");
    EXPECT_EQ(rows[6].value, "1970  0101  0000");
    EXPECT_EQ(rows[7].value, "2007  0302  1405");
    EXPECT_EQ(rows[7].name, "main.bin");
    EXPECT_EQ(rows[7].label, "#6436");
}

TEST(SystemInfo, CellsAreCutAt127Characters) {
    SystemFacts facts;
    facts.siteText = std::string(300, 'x');
    EXPECT_EQ(systemRows(facts, label)[2].value.size(), 127u);
}

} // namespace
} // namespace kalder
