#include "wire/search_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

std::vector<std::byte> bytesOf(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values)
        out.push_back(static_cast<std::byte>(v));
    return out;
}

template <std::size_t N> std::vector<std::byte> toVector(const std::array<std::byte, N>& a) {
    return {a.begin(), a.end()};
}

TEST(DaySegment, GoldenBytesBothWays) {
    const std::vector<std::byte> golden =
        bytesOf({0x00, 0x04, 0x80, 0x05, // marks: channel 3; channels 1, 3, 16
                 0x05,                   // kinds 0 and 2
                 0,    0,    0,    0,    0,    0,    0,    0,    0,   0,
                 0,    0x48, 0x6E, 0x3B, 0x40, 0x48, 0x6E, 0x49, 0x50});
    const auto s = decodeDaySegment(golden);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, 0x8005);
    EXPECT_EQ(s->motionContinuous, 0x0004);
    EXPECT_EQ(s->kinds, 0x05);
    EXPECT_EQ(s->start, 0x486E3B40u);
    EXPECT_EQ(s->end, 0x486E4950u);
    EXPECT_EQ(toVector(encodeDaySegment(*s)), golden);
}

TEST(EventEntry, GoldenBytesKeepUnlistedTypesAndTheWholeMaskWord) {
    const std::vector<std::byte> golden = bytesOf(
        {0x00, 0x01, 0x00, 0x02, 0x07, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0, 10, 0, 0, 0, 20});
    const auto e = decodeEventEntry(golden);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->channels, 0x00010002u);
    EXPECT_EQ(e->type, 7);
    EXPECT_EQ(e->start, 10u);
    EXPECT_EQ(e->end, 20u);
    // The unused bytes are written as zeros.
    auto back = toVector(encodeEventEntry(*e));
    EXPECT_EQ(std::to_integer<int>(back[5]), 0);
    EXPECT_TRUE(std::equal(back.begin() + 16, back.end(), golden.begin() + 16));
}

TEST(YearAvailability, LayoutLeapFebruaryAndFlagsPastTheMonthEnd) {
    std::vector<std::byte> golden(kYearAvailabilitySize);
    golden[0] = std::byte{0x00};
    golden[1] = std::byte{0x00};
    golden[2] = std::byte{0x07};
    golden[3] = std::byte{0xD8}; // 2008
    auto flag = [&](int month, int day) {
        golden[4 + (month - 1) * 31 + (day - 1)] = std::byte{1};
    };
    flag(1, 1);
    flag(2, 29); // exists in 2008
    flag(2, 30); // never exists
    flag(4, 31); // April has 30 days
    flag(12, 31);
    const auto y = decodeYearAvailability(golden);
    ASSERT_TRUE(y);
    EXPECT_EQ(y->year, 2008);
    EXPECT_TRUE(y->dayRecorded(1, 1));
    EXPECT_TRUE(y->dayRecorded(2, 29));
    EXPECT_FALSE(y->dayRecorded(2, 30));
    EXPECT_FALSE(y->dayRecorded(4, 31));
    EXPECT_TRUE(y->dayRecorded(12, 31));
    EXPECT_FALSE(y->dayRecorded(13, 1));
    EXPECT_FALSE(y->dayRecorded(0, 1));
    EXPECT_EQ(toVector(encodeYearAvailability(*y)), golden);

    YearAvailability notLeap = *y;
    notLeap.year = 2009;
    EXPECT_FALSE(notLeap.dayRecorded(2, 29));
    notLeap.year = 2000; // divisible by 400: leap
    EXPECT_TRUE(notLeap.dayRecorded(2, 29));
}

TEST(SearchRecords, DaysInMonthFollowsTheGregorianRule) {
    EXPECT_EQ(daysInMonth(2008, 2), 29);
    EXPECT_EQ(daysInMonth(2100, 2), 28);
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    EXPECT_EQ(daysInMonth(2023, 2), 28);
    EXPECT_EQ(daysInMonth(2023, 4), 30);
    EXPECT_EQ(daysInMonth(2023, 12), 31);
    EXPECT_EQ(daysInMonth(2023, 13), 0);
}

// A collected reply holds whole records only; a short record is refused and a tail dropped.
TEST(SearchRecords, WholeRecordsOfAReplyAndShortInput) {
    std::vector<std::byte> reply;
    for (std::uint32_t k = 0; k < 3; ++k) {
        const auto r = encodeEventEntry({1u << k, EventEntry{}.type, k * 100, k * 100 + 5});
        reply.insert(reply.end(), r.begin(), r.end());
    }
    reply.resize(reply.size() + 23, std::byte{0xFF});
    const auto events = decodeEventEntries(reply);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].channels, 4u);
    EXPECT_EQ(events[2].start, 200u);
    EXPECT_EQ(decodeDaySegments(std::span(reply).first(47)).size(), 1u);
    EXPECT_TRUE(decodeYearAvailabilities(std::span(reply).first(75)).empty());
    EXPECT_FALSE(decodeDaySegment(std::span(reply).first(23)));
    EXPECT_FALSE(decodeYearAvailability(reply)); // 95 bytes
}

TEST(SearchRecords, DayQueryPayload) {
    EXPECT_EQ(toVector(encodeDayQuery(2024, 2, 29)),
              bytesOf({0x00, 0x00, 0x07, 0xE8, 2, 29, 0, 0}));
    const auto q = decodeDayQuery(bytesOf({0x00, 0x00, 0x07, 0xE8, 12, 31, 0, 0}));
    ASSERT_TRUE(q);
    EXPECT_EQ(q->year, 2024);
    EXPECT_EQ(q->month, 12);
    EXPECT_EQ(q->day, 31);
    EXPECT_FALSE(decodeDayQuery(bytesOf({0, 0, 7, 0xE8, 1, 1, 0})));
}

} // namespace
} // namespace kalder
