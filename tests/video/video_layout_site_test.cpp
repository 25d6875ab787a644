#include "video/video_layout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace kalder {

// Defined beside the single-recorder layout tests of this program.
void PrintTo(const CellRect& r, std::ostream* os);

void PrintTo(const CellSource& s, std::ostream* os) {
    *os << "(recorder " << s.recorder << ", channel " << s.channel << ")";
}

namespace {

// The channels of `recorders` recorders in site order.
std::vector<CellSource> siteOf(int recorders) {
    std::vector<CellSource> sources;
    for (int recorder = 0; recorder < recorders; ++recorder) {
        for (int ch = 0; ch < kRecorderChannels; ++ch)
            sources.push_back({recorder, ch});
    }
    return sources;
}

// Source shown at each position of the current page, empty for an empty position.
std::vector<CellSource> sourcesByPosition(const VideoLayout& layout) {
    std::vector<CellSource> byPosition(static_cast<std::size_t>(layout.positionCount()));
    for (int cell = 0; cell < kMaxCells; ++cell) {
        if (layout.cellVisible(cell))
            byPosition[static_cast<std::size_t>(layout.positionOfCell(cell))] =
                layout.cellSource(cell);
    }
    return byPosition;
}

std::vector<CellSource> run(std::vector<CellSource> sources, int first, int count) {
    return {sources.begin() + first, sources.begin() + first + count};
}

TEST(VideoLayoutSite, GridsOfTwentyFiveAndThirtySixCells) {
    struct Case {
        int layout;
        int width;
        int height;
        int cell;
        CellRect rect;
    };
    const Case cases[] = {
        // 815 / 5 = 163, 548 / 5 = 109: inner lines at 163, 326, ..., a gap of two pixels
        // about each; the last row and column end at the outer margin.
        {25, 815, 548, 0, {2, 2, 162, 108}},
        {25, 815, 548, 6, {164, 110, 325, 217}},
        {25, 815, 548, 4, {653, 2, 813, 108}},
        {25, 815, 548, 24, {653, 437, 813, 546}},
        // 815 / 6 = 135, 548 / 6 = 91.
        {36, 815, 548, 0, {2, 2, 134, 90}},
        {36, 815, 548, 7, {136, 92, 269, 181}},
        {36, 815, 548, 35, {676, 456, 813, 546}},
        // 1000 / 6 = 166 leaves 4 pixels over, which the last column takes.
        {36, 1000, 700, 35, {831, 581, 998, 698}},
    };
    for (const Case& c : cases) {
        VideoLayout layout;
        ASSERT_TRUE(layout.setSources(siteOf(3)));
        layout.setArea(c.width, c.height, 1);
        ASSERT_TRUE(layout.selectLayout(c.layout, kEveryChannel));
        EXPECT_EQ(layout.cellRect(c.cell), c.rect) << "layout " << c.layout << " cell " << c.cell;
    }
}

TEST(VideoLayoutSite, PagesCoverEveryChannelOfTheSite) {
    for (int recorders : {2, 3}) {
        const std::vector<CellSource> site = siteOf(recorders);
        VideoLayout layout;
        ASSERT_TRUE(layout.setSources(site));
        ASSERT_EQ(layout.cellCount(), 16 * recorders);
        ASSERT_EQ(layout.pageCount(16), recorders);
        EXPECT_EQ(layout.pageCount(1), 16 * recorders);
        layout.selectLayout(16, kEveryChannel);
        for (int page = 0; page < recorders; ++page) {
            EXPECT_EQ(layout.page(), page);
            EXPECT_EQ(sourcesByPosition(layout), run(site, 16 * page, 16)) << "page " << page;
            EXPECT_TRUE(layout.emptyPositions().empty());
            ChannelMasks shown{};
            shown[static_cast<std::size_t>(page)] = 0xFFFF;
            EXPECT_EQ(layout.visibleChannelMasks(), shown) << "page " << page;
            EXPECT_EQ(layout.visibleChannelMask(), page == 0 ? 0xFFFF : 0);
            layout.selectLayout(16, kEveryChannel);
        }
        EXPECT_EQ(layout.page(), 0) << recorders << " recorders: back to the first page";
    }

    const std::vector<CellSource> site = siteOf(3);
    VideoLayout layout;
    ASSERT_TRUE(layout.setSources(site));
    // 48 cells in the 25 layout: the second page leaves its last two positions empty.
    layout.selectLayout(25, kEveryChannel);
    layout.selectLayout(25, kEveryChannel);
    ASSERT_EQ(layout.page(), 1);
    std::vector<CellSource> expected = run(site, 25, 23);
    expected.resize(25);
    EXPECT_EQ(sourcesByPosition(layout), expected);
    EXPECT_EQ(layout.emptyPositions(), (std::vector<int>{23, 24}));
    // The 9 layout's last page ends at the last cell, as a recorder's second page does.
    ASSERT_EQ(layout.pageCount(9), 6);
    layout.restoreArrangement({layoutIndex(9), 5, layout.arrangement().cellSource});
    EXPECT_EQ(sourcesByPosition(layout), run(site, 39, 9));
    EXPECT_TRUE(layout.emptyPositions().empty());

    // Only recorder 2's channel 6 sends: the 16 layout goes straight to its page.
    ChannelMasks present{};
    present[2] = 1u << 6;
    layout.selectLayout(16, present);
    EXPECT_EQ(layout.page(), 2);
    EXPECT_EQ(layout.cellAt(420, 150, present), 38) << "the seventh cell of the third page";
    EXPECT_EQ(layout.cellAt(10, 10, present), -1) << "recorder 2's channel 0 is absent";
    ASSERT_TRUE(layout.toggleZoom(38, present));
    EXPECT_EQ(layout.visibleCells(), std::uint64_t{1} << 38);
    EXPECT_EQ(layout.visibleChannelMasks(), present);
}

TEST(VideoLayoutSite, MasksOfRecordersWithoutCellsDoNotSkipPages) {
    // The video window counts the recorders it knows nothing of as present; with one
    // recorder and nothing of it present the pages are still taken in turn.
    VideoLayout layout;
    ChannelMasks present = kEveryChannel;
    present[0] = 0;
    layout.selectLayout(4, present);
    layout.selectLayout(4, present);
    EXPECT_EQ(layout.page(), 1);
    present[0] = 1u << 9;
    layout.selectLayout(4, present);
    EXPECT_EQ(layout.page(), 2) << "channel 10 present: its page";
}

TEST(VideoLayoutSite, TwentyFiveAndThirtySixOnlyBeyondSixteenChannels) {
    VideoLayout layout;
    for (int cells : {25, 36}) {
        EXPECT_FALSE(layout.layoutOffered(cells));
        EXPECT_EQ(layout.pageCount(cells), 0);
        EXPECT_FALSE(layout.selectLayout(cells, kEveryChannel));
        EXPECT_EQ(layout.layout(), 16);
        layout.restoreArrangement({layoutIndex(cells), 0, layout.arrangement().cellSource});
        EXPECT_EQ(layout.layout(), 16);
        layout.resetTo(cells);
        EXPECT_EQ(layout.layout(), 16);
    }
    // A site of 17 channels offers them; going back to 16 leaves the 36 layout for the 16.
    std::vector<CellSource> seventeen = siteOf(1);
    seventeen.push_back({1, 0});
    ASSERT_TRUE(layout.setSources(seventeen));
    EXPECT_TRUE(layout.layoutOffered(25));
    ASSERT_TRUE(layout.selectLayout(36, kEveryChannel));
    EXPECT_EQ(layout.pageCount(36), 1);
    EXPECT_EQ(layout.emptyPositions().size(), 19u);
    ASSERT_TRUE(layout.setSources(siteOf(1)));
    EXPECT_EQ(layout.layout(), 16);
    EXPECT_EQ(layout.visibleCells(), 0xFFFFu);
}

TEST(VideoLayoutSite, SourceListsThatAreRefused) {
    VideoLayout layout;
    std::vector<CellSource> twice = siteOf(1);
    twice.push_back({0, 3});
    std::vector<CellSource> tooMany = siteOf(kMaxRecorders);
    tooMany.push_back({0, 0});
    const std::vector<std::vector<CellSource>> refused = {
        {}, twice, tooMany, {{0, 16}}, {{0, -1}}, {{kMaxRecorders, 0}}, {{-1, 0}},
    };
    layout.swapCells(0, 1);
    const VideoLayout::Arrangement before = layout.arrangement();
    for (const std::vector<CellSource>& sources : refused) {
        EXPECT_FALSE(layout.setSources(sources)) << sources.size() << " sources";
        EXPECT_EQ(layout.arrangement(), before);
        EXPECT_EQ(layout.cellCount(), 16);
    }
    EXPECT_TRUE(layout.setSources(siteOf(kMaxRecorders)));
    EXPECT_EQ(layout.pageCount(36), 2);
}

TEST(VideoLayoutSite, ArrangementWithAnotherRecordersSourcesRoundTrips) {
    const std::vector<CellSource> site = siteOf(2);
    VideoLayout layout;
    ASSERT_TRUE(layout.setSources(site));
    layout.swapCells(0, 20);
    layout.selectLayout(4, kEveryChannel);
    layout.selectLayout(4, kEveryChannel);
    const VideoLayout::Arrangement saved = layout.arrangement();
    EXPECT_EQ(saved.cellSource[0], (CellSource{1, 4}));
    EXPECT_EQ(saved.cellSource[20], (CellSource{0, 0}));
    EXPECT_TRUE(saved.cellSource[32].empty());

    VideoLayout restored;
    ASSERT_TRUE(restored.setSources(site));
    restored.restoreArrangement(saved);
    EXPECT_EQ(restored.arrangement(), saved);
    EXPECT_EQ(restored.cellOfSource({1, 4}), 0);
    EXPECT_EQ(restored.cellOfChannel(0), 20);
    EXPECT_EQ(restored.page(), 1);
    EXPECT_EQ(restored.layout(), 4);

    // The same arrangement in a single-recorder window: its cells show the recorder's own
    // channels in order, the layout and page are kept.
    VideoLayout single;
    single.restoreArrangement(saved);
    EXPECT_EQ(single.layout(), 4);
    EXPECT_EQ(single.page(), 1);
    EXPECT_EQ(single.cellSource(0), (CellSource{0, 0}));
    EXPECT_EQ(single.cellSource(16), CellSource{});
}

} // namespace
} // namespace kalder
