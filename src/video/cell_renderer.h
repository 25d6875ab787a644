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

// A cell's picture scaled to the cell's render size but still planar YUV 4:2:0, for cells that
// are converted to RGB where they are painted. Rows are 64-byte aligned and padded with at least
// 32 readable pixels past the render width, so that the converter's 16-pixel blocks may read
// past the cell's last column.
class PlanarCellPicture {
public:
    // Makes room for a picture scaled to `size`; keeps the bytes when the size is the same.
    bool reserve(QSize size);
    QSize size() const { return m_size; }
    std::uint8_t* plane(int index) { return m_bytes.get() + m_offsets[index]; }
    const std::uint8_t* plane(int index) const { return m_bytes.get() + m_offsets[index]; }
    int stride(int index) const { return index == 0 ? m_lumaStride : m_lumaStride / 2; }

private:
    struct FreeBytes {
        void operator()(std::uint8_t* bytes) const;
    };
    std::unique_ptr<std::uint8_t, FreeBytes> m_bytes;
    QSize m_size;
    int m_lumaStride = 0;
    std::size_t m_offsets[3] = {};
};

// Converts a PlanarCellPicture into RGB32 rows, BT.601 limited range as libswscale converts
// while it scales. The unscaled converter is several times faster than libswscale's scaled
// output into packed RGB (about 0.15 against 0.5 ms for a cell of 816 x 548), but it writes
// whole blocks of 16 pixels: the columns past the last whole block of a row are converted into
// a block of their own and copied. Used by one thread at a time.
class PlanarCellConverter {
public:
    PlanarCellConverter();
    ~PlanarCellConverter();
    PlanarCellConverter(const PlanarCellConverter&) = delete;
    PlanarCellConverter& operator=(const PlanarCellConverter&) = delete;

    // Writes exactly columns [0, cell.width()) of rows [0, cell.height()) of `picture` at
    // `target`, rows `stride` bytes apart; nothing past them. False when the picture is smaller
    // than the cell.
    bool convert(const PlanarCellPicture& picture, QSize cell, std::uint8_t* target,
                 qsizetype stride);

private:
    struct SwsDeleter {
        void operator()(SwsContext* context) const;
    };
    bool convertBlock(std::unique_ptr<SwsContext, SwsDeleter>& context,
                      const PlanarCellPicture& picture, int firstColumn, int columns, int rows,
                      std::uint8_t* target, int stride);
    std::unique_ptr<SwsContext, SwsDeleter> m_whole;
    std::unique_ptr<SwsContext, SwsDeleter> m_edge;
    std::vector<std::uint8_t> m_edgeRows;
};

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

    // Whether a cell of a planar picture is scaled in two steps: to the cell's size, still
    // planar (renderPlanarScaled), and then converted to RGB without scaling where it is
    // painted. libswscale's scaled output into packed RGB has no fast path: from about a
    // 4-cell layout's cell on the two steps cost less (0.14 against 0.19 ms for 408 x 274, 0.38
    // against 0.53 ms for 816 x 548, from a D1 field); for smaller cells they cost the same.
    static constexpr int kTwoStepPixels = 100000;
    static bool scalesInTwoSteps(QSize cell) {
        const QSize size = renderSize(cell);
        return size.width() * size.height() >= kTwoStepPixels;
    }
    // The first step: scales the kept part of a planar picture into `target`, which gets
    // renderSize(cell). `rgbCrop`: the part and field the RGB drawing mode shows (as
    // renderPlanarAsRgb), otherwise the planar mode's (as render).
    bool renderPlanarScaled(const std::byte* picture, int width, int height, bool rgbCrop,
                            QSize cell, PlanarCellPicture& target, const CellViewZoom& zoom = {});

private:
    bool scaleBottomUp(const std::byte* picture, int width, int height, const CellRect& source,
                       QImage& target);
    bool sampleBottomUp(const std::byte* picture, int width, int height, const CellRect& source,
                        QImage& target);
    // Where a scaling step writes: libswscale's pixel format, size, planes and strides.
    struct ScaleTarget {
        int format;
        QSize size;
        std::uint8_t* planes[4];
        int strides[4];
    };
    static ScaleTarget imageTarget(QImage& image);
    bool scalePlanar(const std::byte* picture, int width, int height, const CellRect& source,
                     bool secondField, const ScaleTarget& target);
    // The target fits the cell; false for sizes that cannot be drawn.
    static bool prepareTarget(const std::byte* picture, int width, int height, QSize cell,
                              QImage& target);
    bool scale(int sourceFormat, int sourceWidth, int sourceRows,
               const std::uint8_t* const planes[4], const int strides[4], const ScaleTarget& target,
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
