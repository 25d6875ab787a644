#pragma once

#include "decode/picture_store.h"
#include "video/overlay_text.h"
#include "video/video_layout.h"

#include <QColor>
#include <QRect>
#include <QSize>

class QPainter;

namespace kalder {

// What a cell shows.
enum class CellContent { Picture, Idle, VideoLoss, Covert };

// What the video painters draw from: the video window's cells, pictures and overlays.
class VideoScene {
public:
    virtual ~VideoScene() = default;

    // ---- GUI thread ----
    virtual const VideoLayout& cellLayout() const = 0;
    virtual QColor background() const = 0;
    // Idle logo, video-loss picture with its text, or covert picture stretched over the cell;
    // the channel's picture lock held.
    virtual void paintCellPicture(QPainter& painter, CellContent content, unsigned channel,
                                  const QRect& rect) = 0;
    // The idle logo on the positions of the page that no cell fills.
    virtual void paintEmptyPositions(QPainter& painter) = 0;

    // ---- any thread ----
    virtual PictureStore& pictures() = 0;
    virtual CellContent cellContent(unsigned channel) const = 0;
    // Planar drawing (DrawMode 0): what the planar path shows of a picture; else what the RGB
    // path shows (its crop, the second field). The store says which layout each picture has
    // (PictureStore::planar); a picture that does not say has this drawing mode's layout.
    virtual bool planarPictures() const = 0;
    virtual bool overlaysOn() const = 0;
    // Draws the channel's overlays over a cell of `size` at the painter's origin (GUI thread,
    // or the channel's decode thread when drawing in software).
    virtual void paintOverlays(QPainter& painter, unsigned channel, QSize size) = 0;
    // The same in two steps: what would be drawn, and drawing it.
    virtual OverlayPlan overlayPlan(unsigned channel, QSize size) = 0;
    virtual void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan) = 0;
};

} // namespace kalder
