#pragma once

#include "video/cell_renderer.h"
#include "video/video_painter.h"
#include "video/video_scene.h"
#include "wire/channel_count.h"

#include <QImage>

#include <array>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QWidget;

namespace kalder {

// Software drawing: a channel's decode thread scales each new picture and its overlays into
// the cell's image (CellRenderer), and the GUI thread paints the images; a cell whose image is
// stale is drawn again when it is painted. A cell is drawn into a back image under the
// channel's picture lock and then swapped with the shown one under the cell's own lock, so that
// a paint waits for no decoding: the GUI thread takes the picture lock only to draw a stale cell
// again. Lock order: the picture lock, then the cell's lock.
//
// A large cell of a planar picture (CellRenderer::scalesInTwoSteps) is scaled on the decode
// thread but stays planar; the paint converts it to RGB straight into the window's backing store
// and lays its overlays over it there, instead of converting it into a cell image that the paint
// then copies. Where the paint cannot write the backing store itself (a part of the cell, another
// device, a scaled painter) it converts into a scratch image and draws that.
class SoftwareVideoPainter final : public VideoPainter {
public:
    // `widget`: the window the cells are painted on; only GUI-thread functions touch it or
    // `scene`, while pictureArrived (a decode thread) reads the feed alone.
    SoftwareVideoPainter(VideoFeed& feed, VideoScene& scene, QWidget& widget);

    bool pictureArrived(unsigned channel, QSize cellSize) override;
    void invalidate(unsigned channel) override;
    void cellChanged(unsigned channel) override { invalidate(channel); }
    void paint(QPainter& painter, const QRegion& exposed) override;
    void repaint() override;
    void repaintChannels(SlotMask slotMask) override;

private:
    // Pixels [begin, end) of overlay row y.
    struct OverlaySpan {
        int y;
        int begin;
        int end;
    };
    // The overlays as drawn for a plan (transparent elsewhere) and the row ranges that hold
    // anything. Never changed once made: a new plan makes a new one.
    struct OverlayLayer {
        QImage image;
        std::vector<OverlaySpan> spans; // the pixels that are not transparent
    };
    struct Cell {
        CellRenderer renderer;        // guarded by the picture lock
        QImage back;                  // guarded by the picture lock: the next image being drawn
        PlanarCellPicture backPlanar; // guarded by the picture lock: the next planar picture
        // The overlays as last drawn and the plan they show: drawn again only when the plan
        // changes (about once a second), laid over each picture otherwise. Guarded by the
        // picture lock.
        std::shared_ptr<const OverlayLayer> overlay;
        OverlayPlan overlayPlan;
        std::mutex lock;
        QImage image;       // guarded by lock; may be a column wider than the cell
        QSize size;         // guarded by lock: the cell the image was drawn for
        CellViewZoom zoom;  // guarded by lock: the digital zoom it was drawn with
        bool valid = false; // guarded by lock: the image shows the current picture and overlays
        // Guarded by lock: the cell shows `planar` (converted when painted, with `shownOverlay`
        // laid over it) instead of `image`.
        bool planarShown = false;
        PlanarCellPicture planar;
        std::shared_ptr<const OverlayLayer> shownOverlay;
        PlanarCellConverter converter; // guarded by lock
    };

    // The channel's picture lock held.
    bool render(unsigned channel, QSize size);
    void prepareOverlay(unsigned channel, QSize size);
    // Lays the overlay's pixels over RGB32 rows starting at `target`, clipped to `size`.
    static void blendOverlay(const OverlayLayer& overlay, std::uint8_t* target, qsizetype stride,
                             QSize size);
    // Cell's lock held: paints its planar picture into `rect`.
    void paintPlanar(QPainter& painter, Cell& state, const QRect& rect, const QRegion& exposed);
    void paintCell(QPainter& painter, int cell, const QRect& rect, const QRegion& exposed);
    void paintCellContent(QPainter& painter, unsigned channel, const QRect& rect,
                          const QRegion& exposed);

    VideoFeed& m_feed;
    VideoScene& m_scene;
    QWidget& m_widget;
    std::array<Cell, kSlotCount> m_cells; // one per slot of the feed
    QImage m_scratch; // GUI thread: a planar cell converted where it cannot be written in place
};

} // namespace kalder
