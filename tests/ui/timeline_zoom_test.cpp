// The day timeline's zoom: the second each column picks at every zoom level, the limits of the
// zoom and of the scroll, and the bars of the part shown.

#include "ui/timeline_zoom.h"
#include "wire/recorder_time.h"

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(TimelineZoom, TheWholeDayPicksAsTheRecordersScaleAndEveryZoomLevelToItsColumn) {
    TimelineZoom zoom;
    for (int x = kTimelineLeft; x <= kTimelineRight; ++x) {
        const TimeOfDay t = timeAtColumn(x);
        EXPECT_EQ(zoom.secondAt(x), t.hour * 3600 + t.minute * 60 + t.second) << x;
    }
    // Each wheel step in shows a shorter span about the mouse, down to ten minutes.
    const int x = kTimelineLeft + 144; // noon
    std::vector<int> spans;
    for (int step = 0; step < 10; ++step) {
        zoom.zoom(1, x);
        spans.push_back(zoom.span());
        EXPECT_EQ(zoom.secondAt(x), 12 * 3600) << "the second under the mouse stays, " << step;
        // Every column of the shown part: from its first second, evenly, never past its end.
        EXPECT_EQ(zoom.secondAt(kTimelineLeft), zoom.firstSecond());
        for (int c = kTimelineLeft; c < kTimelineLeft + TimelineZoom::kColumns; ++c) {
            const long long expected =
                zoom.firstSecond() +
                static_cast<long long>(c - kTimelineLeft) * zoom.span() / TimelineZoom::kColumns;
            ASSERT_EQ(zoom.secondAt(c), expected) << c;
            ASSERT_GE(zoom.columnOf(zoom.secondAt(c)), c - 1);
            ASSERT_LE(zoom.columnOf(zoom.secondAt(c)), c);
        }
    }
    EXPECT_EQ(spans,
              (std::vector<int>{43200, 21600, 10800, 5400, 3600, 1800, 1200, 600, 600, 600}));
    // Ten minutes across 288 columns: about two seconds a column, each second picked exactly.
    EXPECT_EQ(zoom.secondAt(kTimelineLeft + 1) - zoom.secondAt(kTimelineLeft), 2);
    EXPECT_EQ(zoom.tickSeconds(), 60);

    // Out again to the whole day at most, back on the recorder's scale.
    zoom.zoom(-20, x);
    EXPECT_TRUE(zoom.wholeDay());
    EXPECT_EQ(zoom.firstSecond(), 0);
}

TEST(TimelineZoom, ZoomNearTheDaysEdgesAndScrollStayWithinTheDay) {
    TimelineZoom zoom;
    zoom.zoom(4, kTimelineLeft + 2); // 00:10 stays under the mouse
    EXPECT_EQ(zoom.span(), 5400);
    EXPECT_EQ(zoom.secondAt(kTimelineLeft + 2), 600);
    zoom.scroll(100); // a drag to the right shows earlier, down to midnight
    EXPECT_EQ(zoom.firstSecond(), 0);
    zoom.scroll(-100000);
    EXPECT_EQ(zoom.firstSecond(), TimelineZoom::kDaySeconds - 5400);
    EXPECT_EQ(zoom.secondAt(kTimelineRight), TimelineZoom::kDaySeconds - 1) << "never past";
    // A key's zoom keeps the chosen second where it is across the grid.
    TimelineZoom keys;
    const int chosen = 17 * 3600 + 4 * 60 + 9;
    for (int i = 0; i < 8; ++i) {
        const double before = double(chosen - keys.firstSecond()) / keys.span();
        keys.zoomAbout(1, chosen);
        EXPECT_NEAR(double(chosen - keys.firstSecond()) / keys.span(), before, 0.002) << i;
    }
    EXPECT_EQ(keys.span(), 600);
    EXPECT_TRUE(keys.shows(chosen));
    zoom.centreOn(6 * 3600);
    EXPECT_EQ(zoom.firstSecond(), 6 * 3600 - 2700);
    EXPECT_TRUE(zoom.shows(6 * 3600));
    EXPECT_FALSE(zoom.shows(9 * 3600));
}

TEST(TimelineZoom, BarsOfThePartShownOnlyClippedToTheGrid) {
    const auto at = [](int h, int m, int s) {
        return static_cast<std::uint32_t>(encodeCivilTime({2024, 3, 1, h, m, s}));
    };
    const std::vector<DaySegment> segments = {
        {0x0001, 0, 0x01, at(11, 50, 0), at(12, 10, 0)}, // across the part shown
        {0x0002, 0, 0x02, at(12, 1, 0), at(12, 2, 0)},   // inside it
        {0x0001, 0, 0x01, at(8, 0, 0), at(9, 0, 0)},     // before it
    };
    TimelineZoom zoom;
    EXPECT_EQ(timelineBars(segments, 0xFFFF, zoom), timelineBars(segments, 0xFFFF));
    zoom.zoom(8, kTimelineLeft + 144); // 11:55 to 12:05
    ASSERT_EQ(zoom.firstSecond(), 12 * 3600 - 300);
    const auto bars = timelineBars(segments, 0xFFFF, zoom);
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[0], (TimelineBar{0, 0, kTimelineLeft, kTimelineLeft + 287}));
    EXPECT_EQ(bars[1],
              (TimelineBar{1, 1, zoom.columnOf(12 * 3600 + 60), zoom.columnOf(12 * 3600 + 120)}));
    EXPECT_NEAR(bars[1].x1 - bars[1].x0, 28.8, 1); // a minute is 28.8 columns at ten minutes
    EXPECT_TRUE(timelineBars(segments, 0x0004, zoom).empty()) << "channel mask";
}

} // namespace
} // namespace kalder
