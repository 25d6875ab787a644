#pragma once

#include "video/cell_view_zoom.h"
#include "video/overlay_text.h"
#include "video/video_layout.h"

#include <QFont>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

struct SwsContext;

namespace kalder {

// The software drawing of one channel: scales the kept part of its picture (bottom-up 24-bit
// BGR, or planar YUV 4:2:0) into an image of the cell's size. Used by the channel's decode thread
// and by the GUI thread's repaint, always under the channel's picture lock, which guards the
// object.
class CellRenderer {
public:
    CellRenderer();
    ~CellRenderer();
    CellRenderer(const CellRenderer&) = delete;
    CellRenderer& operator=(const CellRenderer&) = delete;

    // Scales the picture's kept part into `target`, which gets renderSize(cell); its first
    // cell.width() columns are the cell. `planar`: YUV 4:2:0 planes (field pictures with their
    // fields one after the other, shown from the first field); otherwise width × height × 3
    // bytes of BGR, last display row first. False (target left as it was) for sizes that cannot
    // be drawn. `zoom`: the part of the kept part that a digitally zoomed cell shows.
    bool render(const std::byte* picture, int width, int height, bool planar, QSize cell,
                QImage& target, const CellViewZoom& zoom = {});
    // RGB drawing (DrawMode 1) of a planar picture, converted straight from its planes: the
    // part and field the RGB path shows of a bottom-up BGR picture (a 480- or 576-line picture
    // from its second field, each row twice), in one scaling step.
    bool renderPlanarAsRgb(const std::byte* picture, int width, int height, QSize cell,
                           QImage& target, const CellViewZoom& zoom = {});

    // The scaler is several times slower for odd destination widths: an odd cell is drawn one
    // column wider and clipped.
    // Where a cell pixel falls between two source pixels (one axis): the first, the second,
    // and the second's weight in 1/256.
    struct Tap {
        int first;
        int second;
        int weight;
    };

    static QSize renderSize(QSize cell) {
        return {cell.width() + (cell.width() & 1), cell.height()};
    }

private:
    bool scaleBottomUp(const std::byte* picture, int width, int height, const CellRect& source,
                       QImage& target);
    bool sampleBottomUp(const std::byte* picture, int width, int height, const CellRect& source,
                        QImage& target);
    bool scalePlanar(const std::byte* picture, int width, int height, const CellRect& source,
                     bool secondField, QImage& target);
    // The target fits the cell; false for sizes that cannot be drawn.
    static bool prepareTarget(const std::byte* picture, int width, int height, QSize cell,
                              QImage& target);
    bool scale(int sourceFormat, int sourceWidth, int sourceRows,
               const std::uint8_t* const planes[4], const int strides[4], QImage& target,
               int flags);

    struct SwsDeleter {
        void operator()(SwsContext* context) const;
    };
    std::unique_ptr<SwsContext, SwsDeleter> m_scaler;
    std::vector<Tap> m_columnTaps;
    std::vector<Tap> m_rowTaps;
};

// Icons of the overlay marks by picture id; loaded once and then only read.
using IconPictureSet = std::map<int, QImage>;

// Draws the texts (top left of each at its point, transparent background) and the icon pieces
// of a plan. The caller holds the overlay lock.
void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan, const QFont& font,
                      const IconPictureSet& icons);

} // namespace kalder
