// The simulator's burned-in labels stay clear of the texts the client draws over every cell.

#include "sim/video_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalder::sim {
namespace {

// The client's overlay geometry, in cell pixels: the top line (title and picture size) at
// (7, 3) in the 17-pixel overlay font; the bottom line (mode label and frame rate) at 22 pixels
// above the cell's bottom edge, and its 16-pixel icons (audio, PTZ and speed marks) at 18. Both
// lines may run across the whole cell (long titles, several icons).
constexpr int kTopLineY = 3;
constexpr int kOverlayFontHeight = 17;
constexpr int kBottomLineAboveBottom = 22;
constexpr int kIconAboveBottom = 18;
constexpr int kIconHeight = 16;

// The video window is 815 x 548 pixels; its layouts split it into grids of 1, 2, 3 and 4 cells
// a side (the 6-, 7-, 8-, 10- and 13-picture layouts use cells of these grids too).
struct CellSize {
    int width;
    int height;
};
constexpr CellSize kCells[] = {{815, 548}, {407, 274}, {271, 182}, {203, 137}};

// Rows [top, bottom) of a cell that the overlays cover.
struct RowSpan {
    int top;
    int bottom;
};
std::vector<RowSpan> overlayRows(const CellSize& cell) {
    const int bottomLine = cell.height - kBottomLineAboveBottom;
    const int icons = cell.height - kIconAboveBottom;
    return {{kTopLineY, kTopLineY + kOverlayFontHeight},
            {std::min(bottomLine, icons),
             std::max(bottomLine + kOverlayFontHeight, icons + kIconHeight)}};
}

std::vector<LoopParams> pictureKinds() {
    std::vector<LoopParams> kinds;
    const unsigned sizes[][2] = {{704, 480}, {704, 576}, {704, 240}, {704, 288},
                                 {352, 240}, {352, 288}};
    for (const auto& size : sizes)
        for (unsigned channel : {0u, 15u}) {
            LoopParams p;
            p.width = size[0];
            p.height = size[1];
            p.framesPerSecond = 30;
            p.frameCount = 60;
            p.channel = channel;
            p.title = channel == 0 ? "CH1" : "A TITLE OF THIRTY-ONE LETTERS..";
            kinds.push_back(p);
        }
    return kinds;
}

TEST(SceneLabels, LieBetweenTheClientsOverlayLinesInEveryCell) {
    for (const LoopParams& p : pictureKinds()) {
        SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height) + " ch" +
                     std::to_string(p.channel));
        const SceneRect area = sceneLabelArea(p);
        ASSERT_GT(area.height, 0);
        EXPECT_GE(area.y, 0);
        EXPECT_LE(area.y + area.height, static_cast<int>(p.height));
        for (const CellSize& cell : kCells) {
            SCOPED_TRACE(std::to_string(cell.width) + "x" + std::to_string(cell.height));
            // The picture is stretched over the cell: the rows the labels reach there.
            const int h = static_cast<int>(p.height);
            const int top = area.y * cell.height / h;
            const int bottom = ((area.y + area.height) * cell.height + h - 1) / h;
            for (const RowSpan& overlay : overlayRows(cell))
                EXPECT_TRUE(bottom <= overlay.top || top >= overlay.bottom)
                    << "labels on rows " << top << "-" << bottom << ", overlay on "
                    << overlay.top << "-" << overlay.bottom;
        }
    }
}

TEST(SceneLabels, DrawOnlyInsideTheirArea) {
    for (const LoopParams& p : pictureKinds()) {
        SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height) + " ch" +
                     std::to_string(p.channel));
        const int w = static_cast<int>(p.width), h = static_cast<int>(p.height);
        const SceneRect area = sceneLabelArea(p);
        for (unsigned index : {0u, 37u, 59u}) {
            std::vector<std::uint8_t> plane(static_cast<std::size_t>(w * h), 0);
            drawSceneLabels(p, index, plane.data(), w);
            int drawn = 0, outside = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (plane[static_cast<std::size_t>(y * w + x)] == 0)
                        continue;
                    ++drawn;
                    outside += x < area.x || x >= area.x + area.width || y < area.y ||
                               y >= area.y + area.height;
                }
            EXPECT_GT(drawn, 0);
            EXPECT_EQ(outside, 0) << "frame " << index;
        }
    }
}

} // namespace
} // namespace kalder::sim
