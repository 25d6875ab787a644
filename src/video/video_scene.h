#pragma once

#include "video/video_feed.h"
#include "video/video_layout.h"

#include <QColor>
#include <QRect>

class QPainter;

namespace kalder {

// A cell's rectangle as Qt draws it.
inline QRect toQRect(const CellRect& rect) {
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

// What the video painters draw from on the GUI thread besides the feed: the window's cells, its
// background and the pictures of cells without a channel's picture.
class VideoScene {
public:
    virtual ~VideoScene() = default;

    virtual const VideoLayout& cellLayout() const = 0;
    virtual QColor background() const = 0;
    // Idle logo, video-loss picture with its text, or covert picture stretched over the cell;
    // the channel's picture lock held.
    virtual void paintCellPicture(QPainter& painter, CellContent content, unsigned channel,
                                  const QRect& rect) const = 0;
    // The idle logo on the positions of the page that no cell fills.
    virtual void paintEmptyPositions(QPainter& painter) = 0;
    // What a cell says over its picture about its stream: the connection being got back, or
    // no picture for a while. Nothing by default.
    virtual void paintCellNotice(QPainter& /*painter*/, unsigned /*channel*/,
                                 const QRect& /*rect*/) {}
};

} // namespace kalder
