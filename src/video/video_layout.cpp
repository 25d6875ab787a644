#include "video/video_layout.h"

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

const std::array<LayoutShape, kLayoutCount> kShapes = {{
    {1, kPositions1},
    {2, kPositions4},
    {3, kPositions6},
    {4, kPositions7},
    {4, kPositions8},
    {3, kPositions9},
    {4, kPositions10},
    {4, kPositions13},
    {4, kPositions16},
}};

constexpr int kNineCellIndex = 5;
// On its second page the 9-cell layout shows cells 7-15, so that a 16-channel recorder needs
// only two pages; cells 7 and 8 appear on both pages.
constexpr int kNineCellSecondPageFirst = 7;

int gridUnit(int size, int grid) {
    switch (grid) {
    case 2:
        return size >> 1;
    case 3:
        return size / 3;
    case 4:
        return size >> 2;
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
    for (std::size_t i = 0; i < kLayoutCells.size(); ++i) {
        if (kLayoutCells[i] == cells)
            return static_cast<int>(i);
    }
    return -1;
}

const LayoutShape& layoutShape(int index) {
    if (index < 0 || index >= kLayoutCount)
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

VideoLayout::VideoLayout() : m_pageCounts(pageTableFor(kCellCount)) {
    resetArrangement();
    updateVisibleCells();
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

void VideoLayout::setPageTable(int channelCount) {
    m_pageCounts = pageTableFor(channelCount);
    // A single view stays on its cell whatever the table says; other layouts must not be left
    // on a page that no longer exists.
    if (m_layoutIndex != 0 && m_page >= m_pageCounts[static_cast<std::size_t>(m_layoutIndex)]) {
        m_page = 0;
        updateVisibleCells();
    }
}

std::uint16_t VideoLayout::visibleChannelMask() const {
    std::uint16_t mask = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (cellVisible(cell))
            mask |= static_cast<std::uint16_t>(1u << m_cellChannel[static_cast<std::size_t>(cell)]);
    }
    return mask;
}

int VideoLayout::cellChannel(int cell) const {
    if (cell < 0 || cell >= kCellCount)
        return -1;
    return m_cellChannel[static_cast<std::size_t>(cell)];
}

int VideoLayout::cellOfChannel(int channel) const {
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (m_cellChannel[static_cast<std::size_t>(cell)] == channel)
            return cell;
    }
    return -1;
}

int VideoLayout::positionCount() const {
    return static_cast<int>(layoutShape(m_layoutIndex).positions.size());
}

int VideoLayout::positionOfCell(int cell) const {
    if (cell < 0 || cell >= kCellCount)
        return -1;
    if (m_layoutIndex == kNineCellIndex) {
        // Cells 7 and 8 take positions 0 and 1 on the second page, 7 and 8 on the first.
        if (cell >= 9)
            return cell - kNineCellSecondPageFirst;
        if (cell >= kNineCellSecondPageFirst && m_page == 1)
            return cell - kNineCellSecondPageFirst;
        return cell;
    }
    return cell % positionCount();
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
    if (m_layoutIndex == kNineCellIndex || count == 1)
        return empty;
    const int cellsOnPage = kCellCount - m_page * count;
    for (int position = cellsOnPage < 0 ? 0 : cellsOnPage; position < count; ++position)
        empty.push_back(position);
    return empty;
}

int VideoLayout::cellAt(int x, int y, std::uint16_t presentChannels) const {
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (!cellVisible(cell))
            continue;
        if (!((presentChannels >> m_cellChannel[static_cast<std::size_t>(cell)]) & 1))
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
        m_visibleCells = static_cast<std::uint16_t>(1u << (m_page & 15));
        return;
    }
    int first = 0;
    int count = positionCount();
    if (m_layoutIndex == kNineCellIndex && m_page == 1)
        first = kNineCellSecondPageFirst;
    else
        first = m_page * count;
    std::uint16_t mask = 0;
    for (int cell = first; cell < first + count && cell < kCellCount; ++cell)
        mask |= static_cast<std::uint16_t>(1u << cell);
    m_visibleCells = mask;
}

bool VideoLayout::anyVisibleCellPresent(std::uint16_t presentChannels) const {
    return (visibleChannelMask() & presentChannels) != 0;
}

bool VideoLayout::selectLayout(int layoutCells, std::uint16_t presentChannels) {
    const int index = layoutIndex(layoutCells);
    if (index < 0)
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

    if (presentChannels != 0 && !anyVisibleCellPresent(presentChannels)) {
        bool found = false;
        for (int attempt = 0; attempt < 17 && !found; ++attempt) {
            advancePage();
            updateVisibleCells();
            found = anyVisibleCellPresent(presentChannels);
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
    m_layoutIndex = index < 0 ? kLayoutCount - 1 : index;
    m_page = 0;
    m_zoomed = false;
    updateVisibleCells();
}

bool VideoLayout::showChannel(int channel, std::uint16_t presentChannels) {
    if (channel < 0 || channel >= kCellCount || !((presentChannels >> channel) & 1))
        return false;
    const int cell = cellOfChannel(channel);
    if (cell < 0)
        return false;
    m_layoutIndex = 0;
    m_page = cell;
    updateVisibleCells();
    m_stayOnPage = true;
    return true;
}

void VideoLayout::swapCells(int cellA, int cellB) {
    if (cellA < 0 || cellA >= kCellCount || cellB < 0 || cellB >= kCellCount)
        return;
    std::swap(m_cellChannel[static_cast<std::size_t>(cellA)],
              m_cellChannel[static_cast<std::size_t>(cellB)]);
}

void VideoLayout::restoreArrangement(const Arrangement& arrangement) {
    if (arrangement.layoutIndex < 0 || arrangement.layoutIndex >= kLayoutCount)
        return;
    m_cellChannel = arrangement.cellChannel;
    m_layoutIndex = arrangement.layoutIndex;
    const int pages = m_pageCounts[static_cast<std::size_t>(m_layoutIndex)];
    m_page = arrangement.page >= 0 && arrangement.page < pages ? arrangement.page : 0;
    m_zoomed = false;
    updateVisibleCells();
}

void VideoLayout::resetArrangement() {
    for (int cell = 0; cell < kCellCount; ++cell)
        m_cellChannel[static_cast<std::size_t>(cell)] = cell;
}

bool VideoLayout::toggleZoom(int cell, std::uint16_t presentChannels) {
    bool changed = false;
    if (m_zoomed) {
        m_layoutIndex = m_zoomLayoutIndex;
        m_page = m_zoomPage;
        m_zoomed = false;
        updateVisibleCells();
        changed = true;
    } else if (cell >= 0 && cell < kCellCount && m_layoutIndex != 0) {
        const int layoutBefore = m_layoutIndex;
        const int pageBefore = m_page;
        // Only a cell with a present channel can be zoomed; a zoom that did not happen must not
        // leave a return point behind.
        if (showChannel(cellChannel(cell), presentChannels)) {
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
