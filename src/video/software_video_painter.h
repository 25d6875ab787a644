#pragma once

#include "video/cell_renderer.h"
#include "video/video_painter.h"
#include "video/video_scene.h"
#include "wire/channel_count.h"

#include <QImage>

#include <array>
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
    void repaintChannels(std::uint16_t channels) override;

private:
    // Pixels [begin, end) of overlay row y.
    struct OverlaySpan {
        int y;
        int begin;
        int end;
    };
    struct Cell {
        CellRenderer renderer; // guarded by the picture lock
        QImage back;           // guarded by the picture lock: the next image being drawn
        // The overlays as last drawn (transparent elsewhere), the plan they show and the row
        // ranges that hold anything: drawn again only when the plan changes (about once a
        // second), laid over each picture otherwise. Guarded by the picture lock.
        QImage overlay;
        OverlayPlan overlayPlan;
        std::vector<OverlaySpan> overlaySpans; // the overlay's pixels that are not transparent
        std::mutex lock;
        QImage image;       // guarded by lock; may be a column wider than the cell
        QSize size;         // guarded by lock: the cell the image was drawn for
        CellViewZoom zoom;  // guarded by lock: the digital zoom it was drawn with
        bool valid = false; // guarded by lock: the image shows the current picture and overlays
    };

    // The channel's picture lock held.
    bool render(unsigned channel, QSize size);
    void layOverlays(unsigned channel, QSize size);
    void paintCell(QPainter& painter, int cell, const QRect& rect);
    void paintCellContent(QPainter& painter, unsigned channel, const QRect& rect);

    VideoFeed& m_feed;
    VideoScene& m_scene;
    QWidget& m_widget;
    std::array<Cell, kChannelCount> m_cells;
};

} // namespace kalder
