#include "video/video_layout.h"

#include <algorithm>

namespace kalder {

namespace {

constexpr GridBlock kPositions1[] = {{0, 0, 1, 1}};
constexpr GridBlock kPositions4[] = {{0, 0, 1, 1}, {1, 0, 2, 1}, {0, 1, 1, 2}, {1, 1, 2, 2}};
constexpr GridBlock kPositions6[] = {{0, 0, 2, 2}, {2, 0, 3, 1}, {2, 1, 3, 2},
                                     {0, 2, 1, 3}, {1, 2, 2, 3}, {2, 2, 3, 3}};
constexpr GridBlock kPositions7[] = {{0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 2, 4}, {2, 2, 3, 3},
                                     {3, 2, 4, 3}, {2, 3, 3, 4}, {3, 3, 4, 4}};
constexpr GridBlock kPositions8[] = {{0, 0, 3, 3}, {3, 0, 4, 1}, {3, 1, 4, 2}, {3, 2, 4, 3},
                                     {0, 3, 1, 4}, {1, 3, 2, 4}, {2, 3, 3, 4}, {3, 3, 4, 4}};
constexpr GridBlock kPositions9[] = {{0, 0, 1, 1}, {1, 0, 2, 1}, {2, 0, 3, 1},
                                     {0, 1, 1, 2}, {1, 1, 2, 2}, {2, 1, 3, 2},
                                     {0, 2, 1, 3}, {1, 2, 2, 3}, {2, 2, 3, 3}};
constexpr GridBlock kPositions10[] = {{0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 1, 3}, {1, 2, 2, 3},
                                      {2, 2, 3, 3}, {3, 2, 4, 3}, {0, 3, 1, 4}, {1, 3, 2, 4},
                                      {2, 3, 3, 4}, {3, 3, 4, 4}};
constexpr GridBlock kPositions13[] = {{0, 0, 1, 1}, {1, 0, 2, 1}, {2, 0, 3, 1}, {3, 0, 4, 1},
                                      {0, 1, 1, 2}, {0, 2, 1, 3}, {1, 1, 3, 3}, {3, 1, 4, 2},
                                      {3, 2, 4, 3}, {0, 3, 1, 4}, {1, 3, 2, 4}, {2, 3, 3, 4},
                                      {3, 3, 4, 4}};
constexpr GridBlock kPositions16[] = {{0, 0, 1, 1}, {1, 0, 2, 1}, {2, 0, 3, 1}, {3, 0, 4, 1},
                                      {0, 1, 1, 2}, {1, 1, 2, 2}, {2, 1, 3, 2}, {3, 1, 4, 2},
                                      {0, 2, 1, 3}, {1, 2, 2, 3}, {2, 2, 3, 3}, {3, 2, 4, 3},
                                      {0, 3, 1, 4}, {1, 3, 2, 4}, {2, 3, 3, 4}, {3, 3, 4, 4}};

// The grids of the 25 and 36 layouts, row by row.
constexpr std::array<GridBlock, 25> kPositions25 = [] {
    std::array<GridBlock, 25> blocks{};
    for (int i = 0; i < 25; ++i)
        blocks[static_cast<std::size_t>(i)] = {i % 5, i / 5, i % 5 + 1, i / 5 + 1};
    return blocks;
}();
constexpr std::array<GridBlock, 36> kPositions36 = [] {
    std::array<GridBlock, 36> blocks{};
    for (int i = 0; i < 36; ++i)
        blocks[static_cast<std::size_t>(i)] = {i % 6, i / 6, i % 6 + 1, i / 6 + 1};
    return blocks;
}();

const std::array<LayoutShape, kSiteLayoutCount> kShapes = {{
    {1, kPositions1},
    {2, kPositions4},
    {3, kPositions6},
    {4, kPositions7},
    {4, kPositions8},
    {3, kPositions9},
    {4, kPositions10},
    {4, kPositions13},
    {4, kPositions16},
    {5, kPositions25},
    {6, kPositions36},
}};

constexpr bool buttonLayoutsLeadTheSiteLayouts() {
    for (std::size_t i = 0; i < kLayoutCells.size(); ++i) {
        if (kLayoutCells[i] != kSiteLayoutCells[i])
            return false;
    }
    return true;
}
static_assert(buttonLayoutsLeadTheSiteLayouts(), "layout indices 0-8 are the buttons' layouts");

constexpr int kNineCellIndex = 5;
constexpr int kNineCells = 9;

int gridUnit(int size, int grid) {
    switch (grid) {
    case 2:
        return size >> 1;
    case 3:
        return size / 3;
    case 4:
        return size >> 2;
    // The 5- and 6-grids divide as the 3-grid does; their last squares end at the margin
    // with what the division leaves over.
    case 5:
        return size / 5;
    case 6:
        return size / 6;
    default:
        return size;
    }
}

// Start and end of a span of grid squares [first, end) along one axis.
void spanEdges(int first, int end, int grid, int size, int border, int& start, int& stop) {
    const int unit = gridUnit(size, grid);
    start = first == 0 ? 2 * border : first * unit + border;
    stop = end >= grid ? size - 2 * border : end * unit - border;
}

} // namespace

int layoutIndex(int cells) {
    for (std::size_t i = 0; i < kSiteLayoutCells.size(); ++i) {
        if (kSiteLayoutCells[i] == cells)
            return static_cast<int>(i);
    }
    return -1;
}

const LayoutShape& layoutShape(int index) {
    if (index < 0 || index >= kSiteLayoutCount)
        index = kLayoutCount - 1;
    return kShapes[static_cast<std::size_t>(index)];
}

CellRect blockRect(const GridBlock& block, int grid, int width, int height, int border) {
    CellRect rect;
    spanEdges(block.column0, block.column1, grid, width, border, rect.left, rect.right);
    spanEdges(block.row0, block.row1, grid, height, border, rect.top, rect.bottom);
    return rect;
}

std::array<int, kLayoutCount> pageTableFor(int channelCount) {
    if (channelCount > 8)
        return {16, 4, 3, 3, 2, 2, 2, 2, 1};
    if (channelCount >= 5)
        return {8, 2, 2, 2, 1, 1, 1, 1, 1};
    return {4, 1, 1, 1, 1, 1, 1, 1, 1};
}

std::array<int, kSiteLayoutCount> sitePageTableFor(int channelCount, int cellCount) {
    std::array<int, kSiteLayoutCount> table{};
    if (cellCount <= kRecorderChannels) {
        const std::array<int, kLayoutCount> recorder = pageTableFor(channelCount);
        for (std::size_t i = 0; i < recorder.size(); ++i)
            table[i] = recorder[i];
        return table; // no pages of the 25 and 36 layouts: not offered
    }
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = (cellCount + kSiteLayoutCells[i] - 1) / kSiteLayoutCells[i];
    return table;
}

int layoutForChannelCount(int channelCount) {
    if (channelCount <= 4)
        return 4;
    if (channelCount <= 8)
        return 9;
    return 16;
}

CellRect pictureSourceRect(int width, int height, bool planar) {
    const bool cif = width == 352;
    const bool fields = height == 480 || height == 576;
    CellRect rect;
    rect.left = cif ? 3 : 0;
    rect.top = fields ? 16 : 8;
    rect.bottom = fields ? height - 8 : height - 4;
    rect.right = cif && planar ? width - 3 : width;
    return rect;
}

VideoLayout::VideoLayout() {
    std::array<CellSource, kRecorderChannels> recorder;
    for (int ch = 0; ch < kRecorderChannels; ++ch)
        recorder[static_cast<std::size_t>(ch)] = {0, ch};
    setSources(recorder);
}

bool VideoLayout::setSources(std::span<const CellSource> sources) {
    if (sources.empty() || sources.size() > static_cast<std::size_t>(kMaxCells))
        return false;
    std::array<std::uint16_t, kMaxRecorders> seen{};
    for (const CellSource& source : sources) {
        if (source.recorder < 0 || source.recorder >= kMaxRecorders || source.channel < 0 ||
            source.channel >= kRecorderChannels)
            return false;
        std::uint16_t& mask = seen[static_cast<std::size_t>(source.recorder)];
        const auto bit = static_cast<std::uint16_t>(1u << source.channel);
        if (mask & bit)
            return false;
        mask = static_cast<std::uint16_t>(mask | bit);
    }
    m_sources.fill(CellSource{});
    std::copy(sources.begin(), sources.end(), m_sources.begin());
    m_cellCount = static_cast<int>(sources.size());
    m_pageCounts = sitePageTableFor(m_channelCount, m_cellCount);
    resetArrangement();
    if (m_pageCounts[static_cast<std::size_t>(m_layoutIndex)] == 0)
        m_layoutIndex = kLayoutCount - 1;
    m_page = 0;
    m_zoomed = false;
    updateVisibleCells();
    return true;
}

void VideoLayout::setArea(int width, int height, int border) {
    m_width = width;
    m_height = height;
    m_border = border;
}

int VideoLayout::pageCount(int layoutCells) const {
    const int index = layoutIndex(layoutCells);
    return index < 0 ? 1 : m_pageCounts[static_cast<std::size_t>(index)];
}

bool VideoLayout::layoutOffered(int layoutCells) const {
    const int index = layoutIndex(layoutCells);
    return index >= 0 && m_pageCounts[static_cast<std::size_t>(index)] > 0;
}

void VideoLayout::setPageTable(int channelCount) {
    m_channelCount = channelCount;
    m_pageCounts = sitePageTableFor(channelCount, m_cellCount);
    // A single view stays on its cell whatever the table says; other layouts must not be left
    // on a page that no longer exists.
    if (m_layoutIndex != 0 && m_page >= m_pageCounts[static_cast<std::size_t>(m_layoutIndex)]) {
        m_page = 0;
        updateVisibleCells();
    }
}

std::uint16_t VideoLayout::visibleChannelMask() const {
    return visibleChannelMasks()[0];
}

ChannelMasks VideoLayout::visibleChannelMasks() const {
    ChannelMasks masks{};
    for (int cell = 0; cell < m_cellCount; ++cell) {
        const CellSource& source = m_cellSource[static_cast<std::size_t>(cell)];
        if (cellVisible(cell) && !source.empty()) {
            std::uint16_t& mask = masks[static_cast<std::size_t>(source.recorder)];
            mask = static_cast<std::uint16_t>(mask | (1u << source.channel));
        }
    }
    return masks;
}

SlotMask VideoLayout::visibleSlots() const {
    SlotMask slotMask = 0;
    const ChannelMasks masks = visibleChannelMasks();
    for (int recorder = 0; recorder < kMaxRecorders; ++recorder)
        slotMask =
            withRecorderChannels(slotMask, recorder, masks[static_cast<std::size_t>(recorder)]);
    return slotMask;
}

CellSource VideoLayout::cellSource(int cell) const {
    if (!hasCell(cell))
        return {};
    return m_cellSource[static_cast<std::size_t>(cell)];
}

int VideoLayout::cellChannel(int cell) const {
    return cellSource(cell).channel;
}

int VideoLayout::cellOfSource(CellSource source) const {
    if (source.empty())
        return -1;
    for (int cell = 0; cell < m_cellCount; ++cell) {
        if (m_cellSource[static_cast<std::size_t>(cell)] == source)
            return cell;
    }
    return -1;
}

int VideoLayout::positionCount() const {
    return static_cast<int>(layoutShape(m_layoutIndex).positions.size());
}

int VideoLayout::pageFirstCell(int page) const {
    const int count = positionCount();
    const int first = page * count;
    // The last page of the 9-cell layout ends at the last cell instead of leaving positions
    // empty: a 16-channel recorder's second page shows cells 7-15, cells 7 and 8 appear on
    // both pages.
    if (m_layoutIndex == kNineCellIndex && first + kNineCells > m_cellCount)
        return std::max(0, std::min(first, m_cellCount - kNineCells));
    return first;
}

int VideoLayout::positionOfCell(int cell) const {
    if (!hasCell(cell))
        return -1;
    const int count = positionCount();
    const int first = pageFirstCell(m_page);
    if (cell >= first && cell < first + count)
        return cell - first;
    return cell - pageFirstCell(cell / count);
}

CellRect VideoLayout::positionRect(int position) const {
    const LayoutShape& shape = layoutShape(m_layoutIndex);
    if (position < 0 || position >= static_cast<int>(shape.positions.size()))
        return {};
    return blockRect(shape.positions[static_cast<std::size_t>(position)], shape.grid, m_width,
                     m_height, m_border);
}

CellRect VideoLayout::cellRect(int cell) const {
    return positionRect(positionOfCell(cell));
}

std::vector<int> VideoLayout::emptyPositions() const {
    std::vector<int> empty;
    const int count = positionCount();
    if (count == 1)
        return empty;
    const int cellsOnPage = m_cellCount - pageFirstCell(m_page);
    for (int position = std::max(cellsOnPage, 0); position < count; ++position)
        empty.push_back(position);
    return empty;
}

int VideoLayout::cellAt(int x, int y, const ChannelMasks& present) const {
    for (int cell = 0; cell < m_cellCount; ++cell) {
        if (!cellVisible(cell))
            continue;
        const CellSource& source = m_cellSource[static_cast<std::size_t>(cell)];
        if (source.empty() ||
            !((present[static_cast<std::size_t>(source.recorder)] >> source.channel) & 1))
            continue;
        if (cellRect(cell).contains(x, y))
            return cell;
    }
    return -1;
}

void VideoLayout::advancePage() {
    const int count = m_pageCounts[static_cast<std::size_t>(m_layoutIndex)];
    m_page = m_page + 1 >= count ? 0 : m_page + 1;
}

void VideoLayout::updateVisibleCells() {
    if (m_layoutIndex == 0) {
        m_visibleCells = std::uint64_t{1} << (m_page % m_cellCount);
        return;
    }
    const int first = pageFirstCell(m_page);
    const int end = std::min(first + positionCount(), m_cellCount);
    std::uint64_t mask = 0;
    for (int cell = first; cell < end; ++cell)
        mask |= std::uint64_t{1} << cell;
    m_visibleCells = mask;
}

bool VideoLayout::anyVisibleCellPresent(const ChannelMasks& present) const {
    const ChannelMasks shown = visibleChannelMasks();
    for (std::size_t recorder = 0; recorder < shown.size(); ++recorder) {
        if (shown[recorder] & present[recorder])
            return true;
    }
    return false;
}

bool VideoLayout::selectLayout(int layoutCells, const ChannelMasks& present) {
    const int index = layoutIndex(layoutCells);
    if (index < 0 || m_pageCounts[static_cast<std::size_t>(index)] == 0)
        return false;
    const int oldIndex = m_layoutIndex;
    const int oldPage = m_page;
    if (index != m_layoutIndex) {
        m_layoutIndex = index;
        m_page = 0;
    } else if (!m_stayOnPage) {
        advancePage();
    }
    m_stayOnPage = false;
    updateVisibleCells();

    // Pages are skipped only when some installed source is present: masks of recorders that
    // no cell shows do not count.
    bool anyPresent = false;
    for (int i = 0; i < m_cellCount && !anyPresent; ++i) {
        const CellSource& source = m_sources[static_cast<std::size_t>(i)];
        anyPresent = (present[static_cast<std::size_t>(source.recorder)] >> source.channel) & 1;
    }
    if (anyPresent && !anyVisibleCellPresent(present)) {
        // Every page is tried once, and the one left from again.
        bool found = false;
        const int pages = m_pageCounts[static_cast<std::size_t>(m_layoutIndex)];
        for (int attempt = 0; attempt <= std::max(pages, kCellCount) && !found; ++attempt) {
            advancePage();
            updateVisibleCells();
            found = anyVisibleCellPresent(present);
        }
        if (!found) {
            m_page = 0;
            updateVisibleCells();
        }
    }
    return m_layoutIndex != oldIndex || m_page != oldPage;
}

void VideoLayout::resetTo(int layoutCells) {
    const int index = layoutIndex(layoutCells);
    const bool offered = index >= 0 && m_pageCounts[static_cast<std::size_t>(index)] > 0;
    m_layoutIndex = offered ? index : kLayoutCount - 1;
    m_page = 0;
    m_zoomed = false;
    updateVisibleCells();
}

bool VideoLayout::showSource(CellSource source, const ChannelMasks& present) {
    if (source.recorder < 0 || source.recorder >= kMaxRecorders || source.channel < 0 ||
        source.channel >= kRecorderChannels ||
        !((present[static_cast<std::size_t>(source.recorder)] >> source.channel) & 1))
        return false;
    const int cell = cellOfSource(source);
    if (cell < 0)
        return false;
    m_layoutIndex = 0;
    m_page = cell;
    updateVisibleCells();
    m_stayOnPage = true;
    return true;
}

void VideoLayout::swapCells(int cellA, int cellB) {
    if (!hasCell(cellA) || !hasCell(cellB))
        return;
    std::swap(m_cellSource[static_cast<std::size_t>(cellA)],
              m_cellSource[static_cast<std::size_t>(cellB)]);
}

bool VideoLayout::showsInstalledSources(const Arrangement& arrangement) const {
    // The cells must show the installed sources, each once, and nothing beyond them.
    for (int cell = m_cellCount; cell < kMaxCells; ++cell) {
        if (!arrangement.cellSource[static_cast<std::size_t>(cell)].empty())
            return false;
    }
    std::uint64_t taken = 0;
    for (int cell = 0; cell < m_cellCount; ++cell) {
        const CellSource& source = arrangement.cellSource[static_cast<std::size_t>(cell)];
        int index = -1;
        for (int i = 0; i < m_cellCount && index < 0; ++i) {
            if (m_sources[static_cast<std::size_t>(i)] == source)
                index = i;
        }
        if (index < 0 || ((taken >> index) & 1u))
            return false;
        taken |= std::uint64_t{1} << index;
    }
    return true;
}

void VideoLayout::restoreArrangement(const Arrangement& arrangement) {
    if (arrangement.layoutIndex < 0 || arrangement.layoutIndex >= kSiteLayoutCount)
        return;
    const int pages = m_pageCounts[static_cast<std::size_t>(arrangement.layoutIndex)];
    if (pages == 0)
        return;
    // An arrangement of other sources (a site whose recorders changed) shows them in order.
    if (showsInstalledSources(arrangement))
        m_cellSource = arrangement.cellSource;
    else
        resetArrangement();
    m_layoutIndex = arrangement.layoutIndex;
    m_page = arrangement.page >= 0 && arrangement.page < pages ? arrangement.page : 0;
    m_zoomed = false;
    updateVisibleCells();
}

void VideoLayout::resetArrangement() {
    m_cellSource = m_sources;
}

bool VideoLayout::toggleZoom(int cell, const ChannelMasks& present) {
    bool changed = false;
    if (m_zoomed) {
        m_layoutIndex = m_zoomLayoutIndex;
        m_page = m_zoomPage;
        m_zoomed = false;
        updateVisibleCells();
        changed = true;
    } else if (hasCell(cell) && m_layoutIndex != 0) {
        const int layoutBefore = m_layoutIndex;
        const int pageBefore = m_page;
        // Only a cell with a present source can be zoomed; a zoom that did not happen must not
        // leave a return point behind.
        if (showSource(cellSource(cell), present)) {
            m_zoomLayoutIndex = layoutBefore;
            m_zoomPage = pageBefore;
            m_zoomed = true;
            changed = true;
        }
    }
    m_stayOnPage = false;
    return changed;
}

} // namespace kalder
