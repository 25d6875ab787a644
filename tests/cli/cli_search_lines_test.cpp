// The output lines of the disk queries.
#include "cli/search_lines.h"

#include <gtest/gtest.h>

namespace kalder::cli {
namespace {

TEST(SearchLines, YearListsOnlyDaysThatExist) {
    YearAvailability y;
    y.year = 2023;
    y.setDay(2, 28, true);
    y.setDay(2, 29, true); // 2023 is no leap year
    y.setDay(11, 31, true);
    y.setDay(12, 1, true);
    EXPECT_EQ(yearJson(y), R"({"event":"year","year":2023,"days":["2023-02-28","2023-12-01"]})");
    EXPECT_EQ(yearText(y), "year 2023: 2023-02-28 2023-12-01");
    y.dayFlags.fill(0);
    EXPECT_EQ(yearJson(y), R"({"event":"year","year":2023,"days":[]})");
}

TEST(SearchLines, SegmentChannelsMarksAndKinds) {
    // 2024-01-02 00:00:00 .. 01:16:51; kinds byte with bits above 5 set is listed to bit 5.
    const DaySegment s{0x8001, 0x0001, 0xC5, 1704153600, 1704158211};
    EXPECT_EQ(segmentJson(s), R"({"event":"segment","channels":[1,16],"motion_continuous":[1],)"
                              R"("kinds":[0,2],"start":"2024-01-02 00:00:00",)"
                              R"("end":"2024-01-02 01:16:51"})");
    EXPECT_EQ(segmentText({2, 0, 1, 0, 59}), "segment 1970-01-01 00:00:00 - 1970-01-01 00:00:59 "
                                             "channels 2 kinds 0 motion-continuous -");
}

TEST(SearchLines, EventTypesByNameOrNumber) {
    EXPECT_EQ(eventJson({0x0006, EventType::Audio, 0, 1}),
              R"({"event":"recorder_event","type":"audio","channels":[2,3],)"
              R"("start":"1970-01-01 00:00:00","end":"1970-01-01 00:00:01"})");
    EXPECT_EQ(eventJson({0x10001, 7, 0, 0}),
              R"({"event":"recorder_event","type":7,"channels":[1],)"
              R"("start":"1970-01-01 00:00:00","end":"1970-01-01 00:00:00"})");
    EXPECT_EQ(eventText({1, EventType::Alarm, 0, 0}),
              "event alarm 1970-01-01 00:00:00 - 1970-01-01 00:00:00 channels 1");
}

} // namespace
} // namespace kalder::cli
