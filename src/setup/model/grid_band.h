#pragma once

#include <algorithm>
#include <optional>

namespace kalder {

// The cells of a grid of `columns` x `rows` cells of `cellWidth` x `cellHeight` pixels that a
// rubber band from pixel (x0, y0) to pixel (x1, y1) touches, as inclusive column and row ranges.
// Nothing when the band lies wholly outside the grid.
struct CellRange {
    unsigned column0 = 0, column1 = 0;
    unsigned row0 = 0, row1 = 0;
};

inline std::optional<CellRange> cellsTouched(int x0, int y0, int x1, int y1, int cellWidth,
                                             int cellHeight, unsigned columns, unsigned rows) {
    if (cellWidth <= 0 || cellHeight <= 0 || columns == 0 || rows == 0)
        return std::nullopt;
    const int left = std::min(x0, x1), right = std::max(x0, x1);
    const int top = std::min(y0, y1), bottom = std::max(y0, y1);
    const int width = cellWidth * static_cast<int>(columns);
    const int height = cellHeight * static_cast<int>(rows);
    if (right < 0 || bottom < 0 || left >= width || top >= height)
        return std::nullopt;
    const auto cell = [](int pixel, int size, unsigned count) {
        return std::min(static_cast<unsigned>(std::max(pixel, 0) / size), count - 1);
    };
    return CellRange{cell(left, cellWidth, columns), cell(right, cellWidth, columns),
                     cell(top, cellHeight, rows), cell(bottom, cellHeight, rows)};
}

} // namespace kalder
