#include "ui/clock_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

std::vector<int> glyphIndices(const std::vector<GlyphPlacement>& glyphs, std::size_t first,
                              std::size_t count) {
    std::vector<int> indices;
    for (std::size_t i = first; i < first + count && i < glyphs.size(); ++i)
        indices.push_back(glyphs[i].glyph);
    return indices;
}

std::vector<int> xs(const std::vector<GlyphPlacement>& glyphs, std::size_t first,
                    std::size_t count) {
    std::vector<int> positions;
    for (std::size_t i = first; i < first + count && i < glyphs.size(); ++i)
        positions.push_back(glyphs[i].x);
    return positions;
}

TEST(ClockFormat, TwelveHourDial) {
    struct Case {
        int hour;
        DialHour dial;
    };
    const Case cases[] = {
        {0, {1, 2, false}},  {1, {-1, 1, false}}, {9, {-1, 9, false}}, {10, {1, 0, false}},
        {11, {1, 1, false}}, {12, {1, 2, true}},  {13, {-1, 1, true}}, {21, {-1, 9, true}},
        {22, {1, 0, true}},  {23, {1, 1, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dialHour(c.hour), c.dial) << c.hour;
}

TEST(ClockFormat, MainClockTimeGlyphs) {
    struct Case {
        CivilTime time;
        std::vector<int> glyphs; // AM/PM, hour tens, hour units, ':', minutes, ':', seconds
    };
    const Case cases[] = {
        // 13:05 reads 1:05 PM with a blank tens digit.
        {{2007, 3, 2, 13, 5, 9}, {11, 13, 1, 12, 0, 5, 12, 0, 9}},
        // 00:30 reads 12:30 AM.
        {{2007, 3, 2, 0, 30, 0}, {10, 1, 2, 12, 3, 0, 12, 0, 0}},
        {{2007, 3, 2, 23, 59, 58}, {11, 1, 1, 12, 5, 9, 12, 5, 8}},
    };
    for (const Case& c : cases) {
        const auto glyphs = clockGlyphs(ClockVariant::Main, c.time, DateOrder::YearFirst);
        ASSERT_EQ(glyphs.size(), 19u);
        EXPECT_EQ(glyphIndices(glyphs, 0, 9), c.glyphs) << clockTimeText(c.time);
    }
    const auto glyphs = clockGlyphs(ClockVariant::Main, {}, DateOrder::YearFirst);
    EXPECT_EQ(xs(glyphs, 0, 9), (std::vector<int>{66, 79, 92, 105, 118, 131, 144, 157, 170}));
    EXPECT_EQ(glyphs[0], (GlyphPlacement{kMainTimeStrip, 10, 66, 643, 13, 18}));
    EXPECT_EQ(glyphs[9], (GlyphPlacement{kMainDateStrip, 1, 111, 663, 7, 11}));
    EXPECT_EQ(glyphs[18].x, 174);
}

TEST(ClockFormat, DateOrders) {
    const CivilTime second_of_march{2007, 3, 2, 8, 0, 0};
    struct Case {
        DateOrder order;
        const char* text;
        std::vector<int> glyphs;
        std::vector<int> playbackX;
    };
    const Case cases[] = {
        {DateOrder::YearFirst,
         "2007-03-02",
         {2, 0, 0, 7, 10, 0, 3, 10, 0, 2},
         {600, 607, 614, 621, 627, 633, 640, 646, 652, 659}},
        {DateOrder::MonthFirst,
         "03-02-2007",
         {0, 3, 10, 0, 2, 10, 2, 0, 0, 7},
         {600, 607, 613, 619, 626, 632, 638, 645, 652, 659}},
        {DateOrder::DayFirst,
         "02-03-2007",
         {0, 2, 10, 0, 3, 10, 2, 0, 0, 7},
         {600, 607, 613, 619, 626, 632, 638, 645, 652, 659}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clockDateText(second_of_march, c.order), c.text);
        const auto main = clockGlyphs(ClockVariant::Main, second_of_march, c.order);
        EXPECT_EQ(glyphIndices(main, 9, 10), c.glyphs) << c.text;
        const auto playback = clockGlyphs(ClockVariant::Playback, second_of_march, c.order);
        ASSERT_EQ(playback.size(), 19u);
        EXPECT_EQ(glyphIndices(playback, 9, 10), c.glyphs) << c.text;
        EXPECT_EQ(xs(playback, 9, 10), c.playbackX) << c.text;
    }
    EXPECT_EQ(dateOrderFromSetting(2), DateOrder::DayFirst);
    EXPECT_EQ(dateOrderFromSetting(1), DateOrder::MonthFirst);
    EXPECT_EQ(dateOrderFromSetting(7), DateOrder::YearFirst);
}

TEST(ClockFormat, PlaybackClockTime) {
    const auto glyphs =
        clockGlyphs(ClockVariant::Playback, {2007, 3, 2, 13, 5, 9}, DateOrder::YearFirst);
    EXPECT_EQ(glyphs[0], (GlyphPlacement{kPlaybackHalfStrip, 1, 518, 632, 18, 9}));
    EXPECT_EQ(glyphIndices(glyphs, 1, 8), (std::vector<int>{11, 1, 10, 0, 5, 10, 0, 9}));
    EXPECT_EQ(xs(glyphs, 1, 8), (std::vector<int>{538, 545, 551, 557, 564, 570, 576, 583}));
    EXPECT_EQ(glyphs[1].pictureId, kPlaybackTimeStrip);
    EXPECT_EQ(glyphs[9].pictureId, kPlaybackDateStrip);
}

TEST(ClockFormat, SecondsBrokenDownAsUtc) {
    EXPECT_EQ(civilFromSeconds(0), (CivilTime{1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(civilFromSeconds(-5), (CivilTime{1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(civilFromSeconds(1172840709), (CivilTime{2007, 3, 2, 13, 5, 9}));
    EXPECT_EQ(civilFromSeconds(951782400), (CivilTime{2000, 2, 29, 0, 0, 0}));
    EXPECT_EQ(civilFromSeconds(4294967295), (CivilTime{2106, 2, 7, 6, 28, 15}));
}

} // namespace
} // namespace kalder
