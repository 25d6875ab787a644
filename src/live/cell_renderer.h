#pragma once

#include "live/overlay_text.h"

#include <QFont>
#include <QImage>

#include <cstddef>
#include <map>
#include <memory>

struct SwsContext;

namespace kalder {

// The RGB drawing path of one channel: scales the cropped part of a bottom-up 24-bit BGR
// picture into an image of the cell's size. Used by the channel's decode thread and by the GUI
// thread's repaint, always under the channel's picture lock, which guards the object.
class CellRenderer {
public:
    CellRenderer();
    ~CellRenderer();
    CellRenderer(const CellRenderer&) = delete;
    CellRenderer& operator=(const CellRenderer&) = delete;

    // `picture` holds width × height × 3 bytes, last display row first. False (target left
    // as it was) for sizes that cannot be drawn.
    bool render(const std::byte* picture, int width, int height, QSize cell, QImage& target);

private:
    struct SwsDeleter {
        void operator()(SwsContext* context) const;
    };
    std::unique_ptr<SwsContext, SwsDeleter> m_scaler;
};

// Icons of the overlay marks by picture id; loaded once and then only read.
using IconPictureSet = std::map<int, QImage>;

// Draws the texts (top left of each at its point, transparent background) and the icon pieces
// of a plan. The caller holds the overlay lock.
void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan, const QFont& font,
                      const IconPictureSet& icons);

} // namespace kalder
