#include "video/video_layout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace kalder {

void PrintTo(const CellRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr std::uint16_t kAll = 0xFFFF;

std::vector<int> visibleChannels(const VideoLayout& layout) {
    std::vector<int> channels;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (layout.cellVisible(cell))
            channels.push_back(layout.cellChannel(cell));
    }
    return channels;
}

// Channel shown at each position of the current page, -1 for an empty position.
std::vector<int> channelsByPosition(const VideoLayout& layout) {
    std::vector<int> byPosition(static_cast<std::size_t>(layout.positionCount()), -1);
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (layout.cellVisible(cell))
            byPosition[static_cast<std::size_t>(layout.positionOfCell(cell))] =
                layout.cellChannel(cell);
    }
    return byPosition;
}

TEST(VideoLayoutGeometry, ExampleRectanglesOfTheDefaultWindow) {
    struct Case {
        int layout;
        int cell;
        CellRect rect;
    };
    const Case cases[] = {
        {16, 0, {2, 2, 202, 136}},
        {16, 5, {204, 138, 405, 273}},
        {16, 15, {610, 412, 813, 546}},
        {6, 0, {2, 2, 541, 363}},
        {1, 0, {2, 2, 813, 546}},
        {4, 3, {408, 275, 813, 546}},
        // Inner lines of a 3-grid lie at W / 3 = 271 and H / 3 = 182.
        {9, 4, {272, 183, 541, 363}},
        {8, 0, {2, 2, 608, 410}},
        {13, 6, {204, 138, 608, 410}},
    };
    for (const Case& c : cases) {
        VideoLayout layout;
        layout.setArea(815, 548, 1);
        layout.selectLayout(c.layout, kAll);
        EXPECT_EQ(layout.cellRect(c.cell), c.rect) << "layout " << c.layout << " cell " << c.cell;
    }
}

TEST(VideoLayoutGeometry, PositionsTileTheWindowWithoutOverlap) {
    for (int cells : kLayoutCells) {
        const LayoutShape& shape = layoutShape(layoutIndex(cells));
        ASSERT_EQ(static_cast<int>(shape.positions.size()), cells);
        // Every grid square is covered by exactly one position.
        std::vector<int> cover(static_cast<std::size_t>(shape.grid * shape.grid), 0);
        for (const GridBlock& block : shape.positions) {
            for (int row = block.row0; row < block.row1; ++row) {
                for (int column = block.column0; column < block.column1; ++column)
                    ++cover[static_cast<std::size_t>(row * shape.grid + column)];
            }
        }
        for (int count : cover)
            EXPECT_EQ(count, 1) << "layout " << cells;
    }
}

TEST(VideoLayoutGeometry, PositionTablesAsSpecifiedForTheIrregularLayouts) {
    struct Case {
        int layout;
        int grid;
        std::vector<GridBlock> first;
    };
    const Case cases[] = {
        {6, 3, {{0, 0, 2, 2}, {2, 0, 3, 1}, {2, 1, 3, 2}, {0, 2, 1, 3}, {1, 2, 2, 3}}},
        {7, 4, {{0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 2, 4}, {2, 2, 3, 3}, {3, 2, 4, 3}}},
        {8, 4, {{0, 0, 3, 3}, {3, 0, 4, 1}, {3, 1, 4, 2}, {3, 2, 4, 3}, {0, 3, 1, 4}}},
        {10, 4, {{0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 1, 3}, {1, 2, 2, 3}, {2, 2, 3, 3}}},
        {13,
         4,
         {{0, 0, 1, 1},
          {1, 0, 2, 1},
          {2, 0, 3, 1},
          {3, 0, 4, 1},
          {0, 1, 1, 2},
          {0, 2, 1, 3},
          {1, 1, 3, 3},
          {3, 1, 4, 2},
          {3, 2, 4, 3},
          {0, 3, 1, 4}}},
    };
    for (const Case& c : cases) {
        const LayoutShape& shape = layoutShape(layoutIndex(c.layout));
        EXPECT_EQ(shape.grid, c.grid);
        for (std::size_t i = 0; i < c.first.size(); ++i) {
            const GridBlock& got = shape.positions[i];
            const GridBlock& want = c.first[i];
            EXPECT_TRUE(got.column0 == want.column0 && got.row0 == want.row0 &&
                        got.column1 == want.column1 && got.row1 == want.row1)
                << "layout " << c.layout << " position " << i;
        }
    }
}

TEST(VideoLayoutGeometry, PictureSourceRectangles) {
    struct Case {
        int width;
        int height;
        bool planar;
        CellRect source;
    };
    const Case cases[] = {
        {352, 240, false, {3, 8, 352, 236}}, // width 349, height 228
        {352, 240, true, {3, 8, 349, 236}},  {704, 480, false, {0, 16, 704, 472}},
        {704, 576, true, {0, 16, 704, 568}}, {704, 240, false, {0, 8, 704, 236}},
        {352, 288, true, {3, 8, 349, 284}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pictureSourceRect(c.width, c.height, c.planar), c.source)
            << c.width << "x" << c.height << (c.planar ? " planar" : " rgb");
    }
}

TEST(VideoLayoutPages, PageTablesByChannelCount) {
    using Table = std::array<int, kLayoutCount>;
    EXPECT_EQ(pageTableFor(16), (Table{16, 4, 3, 3, 2, 2, 2, 2, 1}));
    EXPECT_EQ(pageTableFor(9), (Table{16, 4, 3, 3, 2, 2, 2, 2, 1}));
    EXPECT_EQ(pageTableFor(8), (Table{8, 2, 2, 2, 1, 1, 1, 1, 1}));
    EXPECT_EQ(pageTableFor(5), (Table{8, 2, 2, 2, 1, 1, 1, 1, 1}));
    EXPECT_EQ(pageTableFor(4), (Table{4, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(pageTableFor(1), (Table{4, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(layoutForChannelCount(4), 4);
    EXPECT_EQ(layoutForChannelCount(5), 9);
    EXPECT_EQ(layoutForChannelCount(8), 9);
    EXPECT_EQ(layoutForChannelCount(16), 16);
}

// Walks every page of every layout with 16 channels: the channels each position shows.
TEST(VideoLayoutPages, EveryPageOfEveryLayout) {
    struct Case {
        int layout;
        std::vector<std::vector<int>> pages;
    };
    const Case cases[] = {
        {4, {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}}},
        {6, {{0, 1, 2, 3, 4, 5}, {6, 7, 8, 9, 10, 11}, {12, 13, 14, 15, -1, -1}}},
        {7, {{0, 1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12, 13}, {14, 15, -1, -1, -1, -1, -1}}},
        {8, {{0, 1, 2, 3, 4, 5, 6, 7}, {8, 9, 10, 11, 12, 13, 14, 15}}},
        {9, {{0, 1, 2, 3, 4, 5, 6, 7, 8}, {7, 8, 9, 10, 11, 12, 13, 14, 15}}},
        {10, {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, -1, -1, -1, -1}}},
        {13,
         {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
          {13, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}}},
        {16, {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}},
    };
    for (const Case& c : cases) {
        VideoLayout layout;
        ASSERT_EQ(layout.pageCount(c.layout), static_cast<int>(c.pages.size()));
        layout.selectLayout(c.layout, kAll);
        for (std::size_t page = 0; page < c.pages.size(); ++page) {
            EXPECT_EQ(layout.page(), static_cast<int>(page));
            EXPECT_EQ(channelsByPosition(layout), c.pages[page])
                << "layout " << c.layout << " page " << page;
            std::vector<int> empty;
            for (std::size_t p = 0; p < c.pages[page].size(); ++p) {
                if (c.pages[page][p] < 0)
                    empty.push_back(static_cast<int>(p));
            }
            EXPECT_EQ(layout.emptyPositions(), empty);
            layout.selectLayout(c.layout, kAll);
        }
        EXPECT_EQ(layout.page(), 0) << "layout " << c.layout << " wraps to its first page";
    }
}

TEST(VideoLayoutPages, SingleViewShowsOneCellPerPage) {
    VideoLayout layout;
    layout.selectLayout(1, kAll);
    for (int page = 0; page < 16; ++page) {
        EXPECT_EQ(layout.visibleCells(), 1u << page);
        EXPECT_EQ(layout.cellRect(page), (CellRect{2, 2, 813, 546}));
        layout.selectLayout(1, kAll);
    }
    EXPECT_EQ(layout.page(), 0);
}

TEST(VideoLayoutPages, NineCellSecondPageMovesCellsSevenAndEightToTheTop) {
    VideoLayout layout;
    layout.selectLayout(9, kAll);
    EXPECT_EQ(layout.positionOfCell(7), 7);
    EXPECT_EQ(layout.positionOfCell(8), 8);
    const CellRect bottomMiddle = layout.cellRect(7);

    layout.selectLayout(9, kAll);
    ASSERT_EQ(layout.page(), 1);
    // Channels 8-16 as the operator counts them, channel 8 top left.
    EXPECT_EQ(visibleChannels(layout), (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(layout.positionOfCell(7), 0);
    EXPECT_EQ(layout.positionOfCell(8), 1);
    EXPECT_EQ(layout.cellRect(7), (CellRect{2, 2, 270, 181}));
    EXPECT_EQ(layout.cellRect(14), bottomMiddle);
    EXPECT_EQ(layout.visibleChannelMask(), 0xFF80);
}

TEST(VideoLayoutPages, FourChannelRecorderStaysOnTheOnlyPage) {
    VideoLayout layout;
    layout.setPageTable(4);
    layout.selectLayout(4, 0x000F);
    layout.selectLayout(4, 0x000F);
    EXPECT_EQ(layout.page(), 0);
    EXPECT_EQ(layout.visibleChannelMask(), 0x000F);
}

TEST(VideoLayoutPages, SmallerPageTableDropsAPageThatNoLongerExists) {
    VideoLayout layout;
    layout.selectLayout(4, kAll);
    layout.selectLayout(4, kAll);
    layout.selectLayout(4, kAll);
    ASSERT_EQ(layout.page(), 2);
    layout.setPageTable(6);
    EXPECT_EQ(layout.page(), 0);
    EXPECT_EQ(layout.visibleCells(), 0x000F);
}

TEST(VideoLayoutPages, PagesWithoutPresentChannelsAreSkipped) {
    struct Case {
        const char* name;
        std::uint16_t present;
        int presses; // presses of the 4-cell button after selecting it
        int page;
    };
    const Case cases[] = {
        {"only channels 9-12 present: the first press lands on their page", 0x0F00, 0, 2},
        {"from their page the next press wraps round to it again", 0x0F00, 1, 2},
        {"channels 1 and 13: page 1 is skipped on the way", 0x1001, 1, 3},
        {"nothing present: no skipping", 0x0000, 2, 2},
    };
    for (const Case& c : cases) {
        VideoLayout layout;
        layout.selectLayout(4, c.present);
        for (int i = 0; i < c.presses; ++i)
            layout.selectLayout(4, c.present);
        EXPECT_EQ(layout.page(), c.page) << c.name;
    }
}

TEST(VideoLayoutPages, SkippingUsesTheArrangedChannels) {
    VideoLayout layout;
    // Channel 16 moved into cell 0: page 0 of the 4-cell layout shows it.
    layout.swapCells(0, 15);
    layout.selectLayout(4, 0x8000);
    EXPECT_EQ(layout.page(), 0);
}

TEST(VideoLayoutArrangement, DragSwapSurvivesLayoutChangesUntilArrange) {
    VideoLayout layout;
    const CellRect target = layout.cellRect(5);
    const int source = layout.cellAt(10, 10, kAll);
    const int dropped =
        layout.cellAt((target.left + target.right) / 2, (target.top + target.bottom) / 2, kAll);
    ASSERT_EQ(source, 0);
    ASSERT_EQ(dropped, 5);
    layout.swapCells(source, dropped);
    EXPECT_EQ(layout.cellChannel(0), 5);
    EXPECT_EQ(layout.cellChannel(5), 0);

    layout.selectLayout(4, kAll);
    EXPECT_EQ(visibleChannels(layout), (std::vector<int>{5, 1, 2, 3}));
    layout.selectLayout(4, kAll);
    EXPECT_EQ(visibleChannels(layout), (std::vector<int>{4, 0, 6, 7}));
    EXPECT_EQ(layout.visibleChannelMask(), 0x00D1);

    layout.resetArrangement();
    EXPECT_EQ(visibleChannels(layout), (std::vector<int>{4, 5, 6, 7}));
}

TEST(VideoLayoutArrangement, OnlyVisibleCellsWithPresentChannelsAreHit) {
    VideoLayout layout;
    EXPECT_EQ(layout.cellAt(10, 10, 0x0002), -1) << "channel 1 absent";
    EXPECT_EQ(layout.cellAt(203, 10, kAll), -1) << "the gap between cells";
    EXPECT_EQ(layout.cellAt(0, 0, kAll), -1) << "the outer margin";
    layout.selectLayout(4, kAll);
    layout.selectLayout(4, kAll);
    EXPECT_EQ(layout.cellAt(10, 10, kAll), 4) << "page 1 shows cell 4 top left";
}

TEST(VideoLayoutZoom, DoubleClickZoomsAndReturnsToTheSamePage) {
    VideoLayout layout;
    layout.selectLayout(4, kAll);
    layout.selectLayout(4, kAll);
    layout.selectLayout(4, kAll);
    ASSERT_EQ(layout.page(), 2);

    ASSERT_TRUE(layout.toggleZoom(9, kAll));
    EXPECT_TRUE(layout.zoomed());
    EXPECT_EQ(layout.layout(), 1);
    EXPECT_EQ(layout.visibleChannelMask(), 1u << 9);

    ASSERT_TRUE(layout.toggleZoom(-1, kAll));
    EXPECT_FALSE(layout.zoomed());
    EXPECT_EQ(layout.layout(), 4);
    EXPECT_EQ(layout.page(), 2);
    EXPECT_EQ(layout.visibleChannelMask(), 0x0F00);
}

TEST(VideoLayoutZoom, NoZoomWithoutACellOrInSingleView) {
    VideoLayout layout;
    EXPECT_FALSE(layout.toggleZoom(-1, kAll));
    EXPECT_FALSE(layout.toggleZoom(3, 0x0000)) << "absent channel";
    EXPECT_FALSE(layout.zoomed());
    layout.selectLayout(1, kAll);
    EXPECT_FALSE(layout.toggleZoom(0, kAll));
}

TEST(VideoLayoutZoom, ShowChannelFollowsTheArrangementAndKeepsThePage) {
    VideoLayout layout;
    layout.swapCells(2, 12);
    ASSERT_TRUE(layout.showChannel(12, kAll));
    EXPECT_EQ(layout.layout(), 1);
    EXPECT_EQ(layout.page(), 2);
    EXPECT_EQ(layout.visibleChannelMask(), 1u << 12);
    // Pressing the single-view button right after a channel button keeps that channel.
    layout.selectLayout(1, kAll);
    EXPECT_EQ(layout.page(), 2);
    layout.selectLayout(1, kAll);
    EXPECT_EQ(layout.page(), 3);
    EXPECT_FALSE(layout.showChannel(4, 0x0001));
    EXPECT_EQ(layout.page(), 3);
}

} // namespace
} // namespace kalder
