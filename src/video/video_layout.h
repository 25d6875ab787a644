#pragma once

#include "video/feed_slots.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kalder {

// The cell layout of the multi-screen video window, without any widget: which layout and which
// page is shown, where every cell lies, which source (recorder, channel) each cell shows, the
// drag-and-drop swaps and the double-click zoom. Used on the GUI thread only; the window keeps
// the channel masks that decode threads write and passes them in.
//
// The cells walk the site's channels in order: recorder 0's channels, then recorder 1's, and so
// on; a single recorder is a site of one, its sixteen channels in cells 0-15. Cell n shows the
// n-th source until the operator swaps cells, and the pages of a layout take the cells in turn,
// so that paging covers every channel of the site.

// Cells the video window draws from its one picture store: one recorder's channels.
inline constexpr int kCellCount = kRecorderChannels;
// Cells of the layout model: one per channel of the largest site. Masks of cells are 64 bits.
inline constexpr int kMaxCells = kMaxRecorders * kRecorderChannels;
static_assert(kMaxCells <= 64, "cell masks are std::uint64_t");
// Most cells on one page: the 6 x 6 layout.
inline constexpr int kMaxPageCells = 36;

// The layouts of the layout buttons, named by their number of cells on a page, in the order of
// the buttons.
inline constexpr int kLayoutCount = 9;
inline constexpr std::array<int, kLayoutCount> kLayoutCells = {1, 4, 6, 7, 8, 9, 10, 13, 16};
// Those and the 5 x 5 and 6 x 6 grids, which are offered only for a site of more than sixteen
// channels. Layout indices 0-10 run over this list; the first nine are kLayoutCells.
inline constexpr int kSiteLayoutCount = 11;
inline constexpr std::array<int, kSiteLayoutCount> kSiteLayoutCells = {1,  4,  6,  7,  8, 9,
                                                                       10, 13, 16, 25, 36};

// What a cell shows: a channel (0-15) of the recorder with index `recorder` in the site (0 for
// a single-recorder connect). An empty cell has channel -1.
struct CellSource {
    int recorder = 0;
    int channel = -1;

    bool empty() const { return channel < 0; }
    bool operator==(const CellSource&) const = default;
};

// One channel mask per recorder of the site (bit n for channel n), indexed by recorder.
using ChannelMasks = std::array<std::uint16_t, kMaxRecorders>;
inline constexpr ChannelMasks kEveryChannel = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
// The masks of a single recorder: `mask` for recorder 0, nothing for the others.
inline constexpr ChannelMasks recorderZeroMasks(std::uint16_t mask) {
    return {mask, 0, 0, 0};
}

// Index 0-10 of a layout given by its cell count, -1 when there is no such layout.
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
// size / 3, size >> 2, size / 5 or size / 6 for a 2-, 3-, 4-, 5- or 6-grid); a block ends
// `border` before an inner line and starts `border` after one. The last row and column end at
// the outer margin, so they take the remainder of the division.
CellRect blockRect(const GridBlock& block, int grid, int width, int height, int border);

// Pages of the nine layouts for a recorder or recording of `channelCount` channels.
std::array<int, kLayoutCount> pageTableFor(int channelCount);
// Pages of every layout over `cellCount` cells: up to sixteen cells the table of pageTableFor
// with no page for the 25 and 36 layouts (they are not offered); beyond, each layout pages
// through all cells (the single view one page a cell).
std::array<int, kSiteLayoutCount> sitePageTableFor(int channelCount, int cellCount);
// The layout chosen when a stream starts: 4 cells up to 4 channels, 9 up to 8, else 16.
int layoutForChannelCount(int channelCount);

// Part of a w × h picture (upright coordinates) that is scaled into its cell: the recorder's
// pictures carry a few lines of noise at the top and bottom and a 352-wide picture three dark
// columns at its sides. The RGB path crops three columns at the left only, the planar path three
// at each side.
CellRect pictureSourceRect(int width, int height, bool planar);

class VideoLayout {
public:
    // What the operator arranged: the layout, its page and which source each cell shows. Kept
    // over a lost connection and put back when live view returns.
    struct Arrangement {
        int layoutIndex = kLayoutCount - 1;
        int page = 0;
        std::array<CellSource, kMaxCells> cellSource{};
        bool operator==(const Arrangement&) const = default;
    };

    VideoLayout();

    Arrangement arrangement() const { return {m_layoutIndex, m_page, m_cellSource}; }
    // A page beyond the current page table falls back to page 0; a layout not offered is
    // refused. Cells that are not the installed sources, each once, show the installed sources
    // in order instead.
    void restoreArrangement(const Arrangement& arrangement);
    // Whether the arrangement's cells show the installed sources, each once.
    bool showsInstalledSources(const Arrangement& arrangement) const;

    // Installs the site's channels in order (recorder 0's, then recorder 1's, ...): 1 to
    // kMaxCells distinct sources with recorders 0 to kMaxRecorders - 1 and channels 0-15. Cell n
    // shows source n again, the page table follows the number of cells and the view starts at
    // the first page of its layout (of the 16-cell layout when its layout is no longer offered).
    // False, and nothing changes, for a list that is not such. By default one recorder's 16
    // channels.
    bool setSources(std::span<const CellSource> sources);
    std::span<const CellSource> sources() const {
        return {m_sources.data(), static_cast<std::size_t>(m_cellCount)};
    }
    // Cells of the installed sources: one per source.
    int cellCount() const { return m_cellCount; }

    // Window size and border; every rectangle follows from them.
    void setArea(int width, int height, int border);
    int width() const { return m_width; }
    int height() const { return m_height; }
    int border() const { return m_border; }

    int layout() const { return kSiteLayoutCells[static_cast<std::size_t>(m_layoutIndex)]; }
    int page() const { return m_page; }
    // Pages of a layout; 0 for a layout that is not offered (the 25 and 36 layouts up to
    // sixteen cells), 1 for one that does not exist.
    int pageCount(int layoutCells) const;
    bool layoutOffered(int layoutCells) const;
    // Installs the page counts for a stream of `channelCount` channels; the default table is
    // that of more than eight channels. Beyond sixteen cells the table follows the cells alone.
    // A page beyond the new count falls back to page 0.
    void setPageTable(int channelCount);
    void restorePageTable() { setPageTable(kCellCount); }

    // Cells shown on the current page, bit n for cell n.
    std::uint64_t visibleCells() const { return m_visibleCells; }
    // Channels of recorder 0 shown by the visible cells: the mask the live request and the
    // players take.
    std::uint16_t visibleChannelMask() const;
    // The channels of each recorder shown by the visible cells.
    ChannelMasks visibleChannelMasks() const;
    bool cellVisible(int cell) const {
        return cell >= 0 && cell < kMaxCells && (m_visibleCells >> cell) & 1u;
    }

    // The cell's source; an empty source for a cell out of range.
    CellSource cellSource(int cell) const;
    // The channel of the cell's source (of whichever recorder), -1 for an empty cell.
    int cellChannel(int cell) const;
    // Cell showing `source`, -1 when none does.
    int cellOfSource(CellSource source) const;
    // Cell showing `channel` of recorder 0, -1 for a channel outside 0-15.
    int cellOfChannel(int channel) const { return cellOfSource({0, channel}); }
    // The feed slot of the cell's source, -1 for an empty cell; the cell showing a slot's
    // source, -1 when none does.
    int cellSlot(int cell) const {
        const CellSource source = cellSource(cell);
        return source.empty() ? -1 : static_cast<int>(slotOf(source.recorder, source.channel));
    }
    int cellOfSlot(unsigned slot) const {
        return cellOfSource({recorderOfSlot(slot), channelOfSlot(slot)});
    }
    // The slotMask of the sources the visible cells show.
    SlotMask visibleSlots() const;

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

    // Visible cell containing (x, y) whose source is in `present`, -1 when none. A single
    // mask is recorder 0's.
    int cellAt(int x, int y, const ChannelMasks& present) const;
    int cellAt(int x, int y, std::uint16_t presentChannels) const {
        return cellAt(x, y, recorderZeroMasks(presentChannels));
    }

    // The layout buttons: another layout starts at its page 0; the current layout again goes to
    // its next page unless the last action was a single channel view. When no visible cell shows
    // a present source, the following pages are tried in turn (back to page 0 when none shows
    // one). A layout that is not offered is refused. True when the layout or page changed.
    bool selectLayout(int layoutCells, const ChannelMasks& present);
    bool selectLayout(int layoutCells, std::uint16_t presentChannels) {
        return selectLayout(layoutCells, recorderZeroMasks(presentChannels));
    }
    // A stream starts or stops: `layoutCells` at its first page, no zoom to return from.
    void resetTo(int layoutCells);
    // Single view of one source; nothing when it is not present or no cell shows it.
    bool showSource(CellSource source, const ChannelMasks& present);
    bool showChannel(int channel, std::uint16_t presentChannels) {
        return showSource({0, channel}, recorderZeroMasks(presentChannels));
    }
    // Swaps the sources of two cells (drag and drop); kept over layout changes until
    // resetArrangement.
    void swapCells(int cellA, int cellB);
    void resetArrangement();
    // Double-click: returns from a zoom to the remembered layout and page, or zooms `cell`
    // (the cell under the last button press, -1 none) to a single view. True when the view
    // changed.
    bool toggleZoom(int cell, const ChannelMasks& present);
    bool toggleZoom(int cell, std::uint16_t presentChannels) {
        return toggleZoom(cell, recorderZeroMasks(presentChannels));
    }
    bool zoomed() const { return m_zoomed; }

private:
    // First cell of `page` of the current layout.
    int pageFirstCell(int page) const;
    void advancePage();
    void updateVisibleCells();
    bool anyVisibleCellPresent(const ChannelMasks& present) const;
    bool hasCell(int cell) const { return cell >= 0 && cell < m_cellCount; }

    int m_width = 815;
    int m_height = 548;
    int m_border = 1;
    int m_layoutIndex = kLayoutCount - 1;
    int m_page = 0;
    int m_channelCount = kCellCount; // of the stream, for the page table up to 16 cells
    std::array<int, kSiteLayoutCount> m_pageCounts{};
    // The installed sources in site order; cells beyond m_cellCount are empty.
    std::array<CellSource, kMaxCells> m_sources{};
    int m_cellCount = 0;
    std::array<CellSource, kMaxCells> m_cellSource{};
    std::uint64_t m_visibleCells = 0xFFFF;
    bool m_stayOnPage = true;
    bool m_zoomed = false;
    int m_zoomLayoutIndex = 0;
    int m_zoomPage = 0;
};

} // namespace kalder
