// Log records of both layouts, the reply decoder's limits, and the list and detail texts.
#include "wire/log_listing.h"
#include "wire/log_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kalder {
namespace {

std::vector<std::byte> bytesOf(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values)
        out.push_back(static_cast<std::byte>(v));
    return out;
}

void putBe32(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::byte>(v >> (24 - 8 * i));
}

void putText(std::vector<std::byte>& b, std::size_t at, const char* text) {
    std::memcpy(b.data() + at, text, std::strlen(text));
}

// A 200-byte archive entry written byte by byte from the documented layout.
std::vector<std::byte> goldenArchiveRecord() {
    std::vector<std::byte> b(200);
    putBe32(b, 0, 42);
    putBe32(b, 4, 200);
    putBe32(b, 8, 0x04);
    putBe32(b, 12, 0x200);
    putBe32(b, 16, 1700000000);
    putBe32(b, 20, 3);
    putText(b, 24, "archive text");
    b[88] = std::byte{0x11};
    b[119] = std::byte{0x22};
    b[120] = std::byte{0x33};
    b[151] = std::byte{0x44};
    putText(b, 152, "admin");
    b[184] = std::byte{2};    // DVD-R
    b[185] = std::byte{1};    // AVI
    b[186] = std::byte{0x05}; // channels 1 and 3
    b[187] = std::byte{0x80}; // channel 16
    putBe32(b, 192, 1700000100);
    putBe32(b, 196, 1700000200);
    return b;
}

std::string fakeText(int id) {
    return "#" + std::to_string(id);
}

LogNaming naming(int dateFormat = 0, bool subProduct34 = false) {
    return {&fakeText, dateFormat, subProduct34};
}

TEST(LogRecordTest, DecodesTheLongLayoutFieldByField) {
    const LogRecord r = decodeLogRecord(goldenArchiveRecord());
    EXPECT_EQ(r.sequence, 42u);
    EXPECT_EQ(r.size, 200u);
    EXPECT_EQ(r.kindBits, 0x04u);
    EXPECT_EQ(r.subKindBits, 0x200u);
    EXPECT_EQ(r.time, 1700000000u);
    EXPECT_EQ(r.channelValue, 3u);
    EXPECT_EQ(r.text, "archive text");
    EXPECT_EQ(r.oldValue[0], 0x11);
    EXPECT_EQ(r.oldValue[31], 0x22);
    EXPECT_EQ(r.oldValue[32], 0); // the client's field is wider than the record's
    EXPECT_EQ(r.newValue[0], 0x33);
    EXPECT_EQ(r.newValue[31], 0x44);
    EXPECT_EQ(r.source, "admin");
    EXPECT_EQ(r.extra[0], 2);
    EXPECT_EQ(r.extra[3], 0x80);
    EXPECT_EQ(r.archiveStart, 1700000100u);
    EXPECT_EQ(r.archiveEnd, 1700000200u);
    // And back to the same bytes.
    EXPECT_EQ(encodeLogRecord(r, 200), goldenArchiveRecord());
}

TEST(LogRecordTest, ShortLayoutCarriesALongTextAndNoValues) {
    std::vector<std::byte> b(184);
    putBe32(b, 4, 184);
    putBe32(b, 8, 0x01);
    putBe32(b, 12, 0x02);
    std::string text(127, 'x'); // past the long layout's 64-byte text
    putText(b, 24, text.c_str());
    b[100] = std::byte{'y'};
    putText(b, 152, "host");
    const LogRecord r = decodeLogRecord(b);
    EXPECT_EQ(r.text.size(), 127u);
    EXPECT_EQ(r.text[76], 'y');
    EXPECT_EQ(r.source, "host");
    EXPECT_EQ(r.oldValue, decltype(r.oldValue){});
    EXPECT_EQ(r.extra, decltype(r.extra){});
    EXPECT_EQ(encodeLogRecord(r, 184), b);
}

TEST(LogRecordTest, ReplyUsesTheFirstRecordsSizeAndKeepsAtMost2500) {
    LogRecord r;
    r.size = 184;
    std::vector<std::byte> reply;
    for (std::uint32_t i = 0; i < 2600; ++i) {
        r.sequence = i;
        const auto one = encodeLogRecord(r, 184);
        reply.insert(reply.end(), one.begin(), one.end());
    }
    reply.resize(reply.size() + 100); // a trailing partial record is not one
    const LogReply decoded = decodeLogReply(reply);
    EXPECT_FALSE(decoded.rejected);
    ASSERT_EQ(decoded.records.size(), 2500u);
    EXPECT_EQ(decoded.records.back().sequence, 2499u);
}

TEST(LogRecordTest, UnknownSizesAreRejectedOrReadWithinTheRecord) {
    for (std::uint32_t size : {0u, 8u, 183u, 201u, 0xFFFFFFFFu}) {
        std::vector<std::byte> reply(400);
        putBe32(reply, 4, size);
        const LogReply d = decodeLogReply(reply);
        EXPECT_TRUE(d.rejected) << size;
        EXPECT_TRUE(d.records.empty()) << size;
    }
    // 190 is read with the long layout: the fields that would lie past byte 190 stay zero.
    std::vector<std::byte> reply(380, std::byte{0x5A});
    putBe32(reply, 4, 190);
    const LogReply d = decodeLogReply(reply);
    ASSERT_EQ(d.records.size(), 2u);
    EXPECT_EQ(d.records[0].oldValue[31], 0x5A);
    EXPECT_EQ(d.records[0].source.size(), 32u);
    EXPECT_EQ(d.records[0].extra, decltype(d.records[0].extra){}); // would end at byte 192
    EXPECT_EQ(d.records[0].archiveStart, 0u);
    EXPECT_EQ(d.records[0].archiveEnd, 0u);
    EXPECT_TRUE(decodeLogReply(bytesOf({0, 0, 0})).records.empty());
}

TEST(LogListingTest, RowColumnsByKind) {
    LogRecord r = decodeLogRecord(goldenArchiveRecord());
    LogRow row = logRow(r, naming());
    EXPECT_EQ(row.sequence, "00042");
    EXPECT_EQ(row.time, "2023-11-14 22:13:20");
    EXPECT_EQ(row.description, "#5585");
    EXPECT_EQ(row.details, "archive text");
    EXPECT_EQ(logRow(r, naming(1)).time, "11-14-2023 22:13:20");
    EXPECT_EQ(logRow(r, naming(2)).time, "14-11-2023 22:13:20");

    r.subKindBits = 1u << 13;
    r.channelValue = 7;
    EXPECT_EQ(logDescription(r, naming()), " Cam07 Name");
    r.subKindBits = 1u << 2 | 1u << 8; // the lowest bit decides; sub-kind 2 has no details
    EXPECT_EQ(logDescription(r, naming()), "#5120");
    EXPECT_EQ(logDetails(r), "");

    r.kindBits = LogKind::Event;
    r.subKindBits = 0x2;
    r.channelValue = 0x8001;
    EXPECT_EQ(logDescription(r, naming()), "#5131");
    EXPECT_EQ(logDetails(r), "01 16 ");

    r.kindBits = LogKind::Power;
    r.subKindBits = 0x1;
    EXPECT_EQ(logDetails(r), ""); // only power sub-kind 1 shows its text
    r.subKindBits = 0x2;
    EXPECT_EQ(logDetails(r), "archive text");
    r.subKindBits = 1u << 20; // beyond the kind's list: no text, no out-of-range lookup
    EXPECT_EQ(logDescription(r, naming()), "");
}

TEST(LogListingTest, ListsFilterByKindNewestFirstAndHideForOtherAccounts) {
    std::vector<LogRecord> records(7);
    const std::uint32_t kinds[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x00, 0x04};
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].sequence = static_cast<std::uint32_t>(i);
        records[i].kindBits = kinds[i];
        records[i].subKindBits = 1;
    }
    records[6].subKindBits = 0x200; // archive entry
    const LogViewer plain{};
    EXPECT_EQ(logListIndexes(records, LogList::All, plain),
              (std::vector<std::size_t>{6, 4, 3, 2, 1, 0})); // kind 0 is never listed
    EXPECT_EQ(logListIndexes(records, LogList::Operation, plain), (std::vector<std::size_t>{6, 2}));
    EXPECT_EQ(logListIndexes(records, LogList::Event, plain), (std::vector<std::size_t>{4}));
    EXPECT_TRUE(logListIndexes(records, LogList::Archive, plain).empty());

    const LogViewer first{true, 0};
    EXPECT_EQ(logListIndexes(records, LogList::Archive, first), (std::vector<std::size_t>{6}));
    EXPECT_EQ(logListIndexes(records, LogList::All, first),
              (std::vector<std::size_t>{4, 3, 2, 1, 0}));
    const LogViewer other{true, 3};
    EXPECT_TRUE(logListIndexes(records, LogList::Archive, other).empty());
    EXPECT_EQ(logListIndexes(records, LogList::All, other), (std::vector<std::size_t>{4, 3, 2, 0}));
    EXPECT_EQ(logListByName("event"), LogList::Event);
    EXPECT_FALSE(logListByName("events"));
}

TEST(LogListingTest, SelectionEnablesDetailsAndPlay) {
    LogRecord r;
    r.kindBits = LogKind::Event;
    for (int bit = 0; bit < 5; ++bit) {
        r.subKindBits = 1u << bit;
        EXPECT_EQ(logSelection(r, LogList::All, false).play, bit <= 2) << bit;
    }
    r.subKindBits = 1;
    EXPECT_FALSE(logSelection(r, LogList::All, true).play); // local playback runs
    r.kindBits = LogKind::Operation;
    for (int bit : {4, 9, 13, 14, 15, 16, 17})
        EXPECT_TRUE(
            (r.subKindBits = 1u << bit, logSelection(r, LogList::Operation, false).details));
    r.subKindBits = 1u << 4;
    EXPECT_FALSE(logSelection(r, LogList::Archive, false).details);
    EXPECT_FALSE(logSelection(r, LogList::All, false).play);
}

TEST(LogListingTest, ValueNamesStayInsideTheirLists) {
    const LogNaming n = naming();
    EXPECT_EQ(recordingKindName(0, n), "#5208");
    EXPECT_EQ(recordingKindName(0, naming(0, true)), "#6050");
    EXPECT_EQ(recordingKindName(6, n), "#5243");
    EXPECT_EQ(recordingKindName(7, n), "");
    EXPECT_EQ(onOffName(2, n), "");
    EXPECT_EQ(resolutionName(3), "");
    EXPECT_EQ(presetActionName(2, n), "");
    EXPECT_EQ(qualityName(1, n), "#5934");
    EXPECT_EQ(qualityName(255, n), "");
    EXPECT_EQ(archiveMediaName(8), " Unknown");
    EXPECT_EQ(archiveMediaName(9), " PC");
    EXPECT_EQ(archiveFormatName(0), " Exclusive");
}

LogRecord operation(int subKind) {
    LogRecord r;
    r.sequence = 9;
    r.kindBits = LogKind::Operation;
    r.subKindBits = 1u << subKind;
    return r;
}

TEST(LogDetailTest, SetupChangeMaskByteTwoListsSevenRows) {
    LogRecord r = operation(4);
    r.extra[2] = 0xFF;
    const LogDetails d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 2u + 7u);
    EXPECT_EQ(d.rows[0].c1, "00009");
    EXPECT_EQ(d.rows[1], LogDetailRow{});
    EXPECT_EQ(d.rows[2], (LogDetailRow{"", "#5894", "#5700", "", ""}));
    EXPECT_EQ(d.rows[5].c3, "#5489"); // bit 3 is skipped
    // Byte 0 bits 6-7 and byte 3 bits 4-7 are not listed either; recording kind 0 is named.
    r.extra = {0xC0, 0x02, 0, 0xF0, 0, 0, 0, 0};
    const LogDetails e = logDetailRows(r, naming());
    ASSERT_EQ(e.rows.size(), 3u);
    EXPECT_EQ(e.rows[2].c3, "#5208");
}

TEST(LogDetailTest, ArchiveRowsNameMediaPeriodAndChannels) {
    const LogDetails d = logDetailRows(decodeLogRecord(goldenArchiveRecord()), naming(2));
    ASSERT_EQ(d.rows.size(), 8u);
    EXPECT_EQ(d.rows[2].c3, " DVD-R");
    EXPECT_EQ(d.rows[3].c3, " AVI");
    EXPECT_EQ(d.rows[4].c3, " 14-11-2023 22:15:00");
    EXPECT_EQ(d.rows[6], (LogDetailRow{"", "#5152", " 01 03", "", ""}));
    EXPECT_EQ(d.rows[7].c3, " 16");
}

TEST(LogDetailTest, CameraTitleStreamingAndModes) {
    LogRecord r = operation(13);
    std::memcpy(r.oldValue.data(), "Door", 4);
    std::memcpy(r.newValue.data(), "Gate", 4);
    LogDetails d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 4u);
    EXPECT_EQ(d.rows[2].c3, " Door");
    EXPECT_EQ(d.rows[3].c3, " Gate");

    r = operation(14);
    r.oldValue = {1, 10, 1, 0};
    r.newValue = {1, 15, 7, 3};
    d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 5u); // byte 0 is unchanged
    EXPECT_EQ(d.rows[2], (LogDetailRow{"", "#5465", " 10 --> 15", "", ""}));
    EXPECT_EQ(d.rows[3].c3, " #5205 --> #5206");
    EXPECT_EQ(d.rows[4].c3, " #515201 --> #515204");
    r.oldValue[0] = 5;
    r.newValue[0] = 0;
    EXPECT_EQ(logDetailRows(r, naming()).rows[2].c3, " #5344 --> #5340");

    r = operation(16);
    r.oldValue = {0, 1, 2, 3, 9};
    r.newValue = {6, 1, 2, 3, 0};
    d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 7u);
    EXPECT_EQ(d.rows[2], (LogDetailRow{"", "#5467", " #5208  ->  #5243", "", ""}));
    EXPECT_EQ(d.rows[6].c3, "   ->  #5208"); // a value outside the list has an empty name
}

TEST(LogDetailTest, CameraRecordingProfiles) {
    LogRecord r = operation(17);
    r.channelValue = 4;
    r.oldValue = {0, 0, 30, 1};
    r.newValue = {2, 30, 0};
    LogDetails d = logDetailRows(r, naming());
    EXPECT_EQ(d.rows[0].c3, " Cam04 Rec");
    ASSERT_EQ(d.rows.size(), 5u);
    EXPECT_EQ(d.rows[2].c2, "#5208");
    EXPECT_EQ(d.rows[3].c3, " 4CIF --> CIF");
    EXPECT_EQ(d.rows[4].c3, " #5344 --> #5340");

    r.oldValue = {1, 0, 30, 1, 3, 1, 0x05, 0x01};
    r.newValue = {0, 30, 1, 0, 0, 0x07, 0x00};
    d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 3u + 1u + 4u + 1u + 4u);
    EXPECT_EQ(d.rows[3], (LogDetailRow{"", " Preset on Alarm", "#5937", "", ""}));
    EXPECT_EQ(d.rows[4].c3, " Cam03 - #5767 - 261");
    EXPECT_EQ(d.rows[5].c3, " #5340 - #5760 - 000");
    EXPECT_EQ(d.rows[8].c3, "#5936");
    EXPECT_EQ(d.rows[9].c3, " #5340 - #5760 - 007");

    r.oldValue = {2, 0, 30, 1, 2};
    r.newValue = {0, 30, 1, 2};
    r.oldValue[10] = 0xAA;
    r.newValue[9] = 0xAA; // the same area one byte earlier
    d = logDetailRows(r, naming());
    EXPECT_FALSE(d.areaButton);
    EXPECT_EQ(d.rows.size(), 3u);
    r.newValue[16] = 1;
    EXPECT_TRUE(logDetailRows(r, naming()).areaButton);

    r.oldValue = {5, 0, 30, 1, 4, 0};
    r.newValue = {0, 30, 1, 6, 1};
    d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 5u);
    EXPECT_EQ(d.rows[3].c3, " 4 --> 6");
    EXPECT_EQ(d.rows[4].c3, " #5340 --> #5344");

    r.oldValue = {0x80, 1, 2, 3, 4};
    r.newValue = {5, 6, 7, 8};
    d = logDetailRows(r, naming());
    ASSERT_EQ(d.rows.size(), 3u + 4u + 2u + 4u);
    EXPECT_EQ(d.rows[2], (LogDetailRow{"", "#5833", "#5937", "", ""}));
    EXPECT_EQ(d.rows[3].c3, " Left : 1");
    EXPECT_EQ(d.rows[8].c3, "#5936");
    EXPECT_EQ(d.rows[12].c3, " Bottom : 8");
}

TEST(LogDetailTest, ScheduleAndAreaGrids) {
    std::array<std::uint8_t, kLogValueBlockSize> block{};
    block.fill(0xFF);
    const auto twoBit = scheduleCells(block, true);
    // Cells 128 on (hour 18, day 2 onwards) lie beyond the 32 bytes the record carries.
    EXPECT_EQ(twoBit[127], 3);
    EXPECT_EQ(twoBit[128], 0);
    EXPECT_EQ(twoBit[167], 0);
    const auto oneBit = scheduleCells(block, false);
    EXPECT_EQ(oneBit[167], 1);
    block.fill(0);
    block[0] = 0x06; // cells 1 and 2 in the one-bit form; cell 0 = 2 in the two-bit form
    EXPECT_EQ(scheduleCells(block, false)[1], 1);
    EXPECT_EQ(scheduleCells(block, false)[0], 0);
    EXPECT_EQ(scheduleCells(block, true)[0], 2);
    block[5] = 0x01;
    block[14] = 0x80;
    const auto area = areaCells(block, 5);
    EXPECT_TRUE(area[0]);
    EXPECT_TRUE(area[79]);
    EXPECT_FALSE(area[1]);
}

} // namespace
} // namespace kalder
