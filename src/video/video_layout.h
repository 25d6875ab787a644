#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kalder {

// The cell layout of the multi-screen video window, without any widget: which of the nine
// layouts and which page is shown, where every cell lies, which channel each cell shows, the
// drag-and-drop swaps and the double-click zoom. Used on the GUI thread only; the window keeps
// the channel masks that decode threads write and passes them in.

inline constexpr int kCellCount = 16;
inline constexpr int kLayoutCount = 9;

// Layouts are named by their number of cells on a page, in the order of the layout buttons.
inline constexpr std::array<int, kLayoutCount> kLayoutCells = {1, 4, 6, 7, 8, 9, 10, 13, 16};

// Index 0-8 of a layout given by its cell count, -1 when there is no such layout.
int layoutIndex(int cells);

// A cell's rectangle in window coordinates, right and bottom exclusive.
struct CellRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const CellRect&) const = default;
};

// A position of a page: a block of squares of the layout's n × n grid, ends exclusive.
struct GridBlock {
    int column0;
    int row0;
    int column1;
    int row1;
};

// Grid size and the positions of one page of a layout.
struct LayoutShape {
    int grid;
    std::span<const GridBlock> positions;
};
const LayoutShape& layoutShape(int layoutIndex);

// Rectangle of one grid block in a window of width × height with the given border (half the gap
// between cells): the outer margin is 2 × border, a grid line k lies at k·u (u = size >> 1,
// size / 3 or size >> 2 for a 2-, 3- or 4-grid); a block ends `border` before an inner line and
// starts `border` after one.
CellRect blockRect(const GridBlock& block, int grid, int width, int height, int border);

// Pages of the nine layouts for a recorder or recording of `channelCount` channels.
std::array<int, kLayoutCount> pageTableFor(int channelCount);
// The layout chosen when a stream starts: 4 cells up to 4 channels, 9 up to 8, else 16.
int layoutForChannelCount(int channelCount);

// Part of a w × h picture (upright coordinates) that is scaled into its cell: the recorder's
// pictures carry a few lines of noise at the top and bottom and a 352-wide picture three dark
// columns at its sides. The RGB path crops three columns at the left only, the planar path three
// at each side.
CellRect pictureSourceRect(int width, int height, bool planar);

class VideoLayout {
public:
    // What the operator arranged: the layout, its page and which channel each cell shows. Kept
    // over a lost connection and put back when live view returns.
    struct Arrangement {
        int layoutIndex = kLayoutCount - 1;
        int page = 0;
        std::array<int, kCellCount> cellChannel{};
        bool operator==(const Arrangement&) const = default;
    };

    VideoLayout();

    Arrangement arrangement() const { return {m_layoutIndex, m_page, m_cellChannel}; }
    // A page beyond the current page table falls back to page 0.
    void restoreArrangement(const Arrangement& arrangement);

    // Window size and border; every rectangle follows from them.
    void setArea(int width, int height, int border);
    int width() const { return m_width; }
    int height() const { return m_height; }
    int border() const { return m_border; }

    int layout() const { return kLayoutCells[static_cast<std::size_t>(m_layoutIndex)]; }
    int page() const { return m_page; }
    int pageCount(int layoutCells) const;
    // Installs the page counts for a stream of `channelCount` channels; the default table is
    // that of more than eight channels. A page beyond the new count falls back to page 0.
    void setPageTable(int channelCount);
    void restorePageTable() { setPageTable(kCellCount); }

    // Cells shown on the current page, bit n for cell n.
    std::uint16_t visibleCells() const { return m_visibleCells; }
    // Channels shown by the visible cells: the mask the live request and the players take.
    std::uint16_t visibleChannelMask() const;
    bool cellVisible(int cell) const {
        return cell >= 0 && cell < kCellCount && (m_visibleCells >> cell) & 1;
    }

    int cellChannel(int cell) const;
    // Cell showing `channel`, -1 for a channel outside 0-15.
    int cellOfChannel(int channel) const;

    // Number of positions on a page of the current layout.
    int positionCount() const;
    // Position of `cell` in the current layout and page. Cells of other pages get the position
    // they take on their own page, so that their size is known before they are shown.
    int positionOfCell(int cell) const;
    CellRect positionRect(int position) const;
    CellRect cellRect(int cell) const;
    // Positions of the current page that no cell fills (the last pages of the 6-, 7-, 10- and
    // 13-cell layouts); the window paints the idle logo there.
    std::vector<int> emptyPositions() const;

    // Visible cell containing (x, y) whose channel is in `presentChannels`, -1 when none.
    int cellAt(int x, int y, std::uint16_t presentChannels) const;

    // The layout buttons: another layout starts at its page 0; the current layout again goes to
    // its next page unless the last action was a single channel view. When no visible cell shows
    // a present channel, the following pages are tried in turn (back to page 0 when none shows
    // one). True when the layout or page changed.
    bool selectLayout(int layoutCells, std::uint16_t presentChannels);
    // A stream starts or stops: `layoutCells` at its first page, no zoom to return from.
    void resetTo(int layoutCells);
    // Single view of one channel; nothing when the channel is not present.
    bool showChannel(int channel, std::uint16_t presentChannels);
    // Swaps the channels of two cells (drag and drop); kept over layout changes until
    // resetArrangement.
    void swapCells(int cellA, int cellB);
    void resetArrangement();
    // Double-click: returns from a zoom to the remembered layout and page, or zooms `cell`
    // (the cell under the last button press, -1 none) to a single view. True when the view
    // changed.
    bool toggleZoom(int cell, std::uint16_t presentChannels);
    bool zoomed() const { return m_zoomed; }

private:
    void advancePage();
    void updateVisibleCells();
    bool anyVisibleCellPresent(std::uint16_t presentChannels) const;

    int m_width = 815;
    int m_height = 548;
    int m_border = 1;
    int m_layoutIndex = kLayoutCount - 1;
    int m_page = 0;
    std::array<int, kLayoutCount> m_pageCounts{};
    std::array<int, kCellCount> m_cellChannel{};
    std::uint16_t m_visibleCells = 0xFFFF;
    bool m_stayOnPage = true;
    bool m_zoomed = false;
    int m_zoomLayoutIndex = 0;
    int m_zoomPage = 0;
};

} // namespace kalder
