#pragma once

#include "video/video_layout.h"

#include <cstdint>

namespace kalder {

// Double-click zoom of the video window: the cell under the last button press becomes a
// single view, and a double-click in a zoomed view returns to the layout and page it came
// from (the layout model remembers them). GUI thread only.
class CellZoom {
public:
    // A left button press on `cell`, -1 on no present source's cell.
    void pressed(int cell) { m_pressedCell = cell; }
    int pressedCell() const { return m_pressedCell; }
    // True when the view changed.
    bool toggle(VideoLayout& layout, const ChannelMasks& present) const {
        return layout.toggleZoom(m_pressedCell, present);
    }

private:
    int m_pressedCell = -1;
};

} // namespace kalder
