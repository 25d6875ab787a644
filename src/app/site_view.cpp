#include "app/site_view.h"

#include <algorithm>

namespace kalder {

VideoLayout::Arrangement layoutArrangement(const SiteArrangement& stored) {
    VideoLayout::Arrangement shown;
    // A layout the window does not know falls back to its 16 cells there.
    const int index = layoutIndex(stored.pageCells);
    shown.layoutIndex = index >= 0 ? index : kLayoutCount - 1;
    shown.page = std::max(stored.page, 0);
    const std::size_t count = std::min(stored.cells.size(), shown.cellSource.size());
    for (std::size_t cell = 0; cell < count; ++cell)
        shown.cellSource[cell] = {stored.cells[cell].recorder, stored.cells[cell].channel};
    return shown;
}

SiteArrangement storedArrangement(const VideoLayout::Arrangement& shown) {
    SiteArrangement stored;
    stored.pageCells = kSiteLayoutCells[static_cast<std::size_t>(
        std::clamp(shown.layoutIndex, 0, kSiteLayoutCount - 1))];
    stored.page = shown.page;
    std::size_t used = 0;
    for (std::size_t cell = 0; cell < shown.cellSource.size(); ++cell)
        if (!shown.cellSource[cell].empty())
            used = cell + 1;
    for (std::size_t cell = 0; cell < used; ++cell)
        stored.cells.push_back({shown.cellSource[cell].recorder, shown.cellSource[cell].channel});
    return stored;
}

} // namespace kalder
