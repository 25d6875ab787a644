#pragma once

#include "video/feed_slots.h"

#include <QRect>
#include <QRegion>
#include <QSize>

#include <cstdint>

class QPainter;

namespace kalder {

// One way of drawing the video window's pictures: in software (each decode thread scales its
// picture into its cell's image, the GUI thread paints the images) or through OpenGL (the GUI
// thread uploads new pictures and a shader scales them). The window keeps one painter of each
// kind for its whole life and switches between them on the GUI thread; decode threads use the
// current one.
class VideoPainter {
public:
    virtual ~VideoPainter() = default;

    // ---- decode thread of the channel, its picture lock held ----

    // The picture store holds a new picture of the channel, whose cell has `cellSize`. False:
    // it cannot be shown, and nobody needs to be woken for it.
    virtual bool pictureArrived(unsigned channel, QSize cellSize) = 0;

    // ---- any thread, the channel's picture lock (or the feed's cells lock) held ----

    // The channel's picture was cleared (a new stream): what was drawn from it is stale.
    virtual void invalidate(unsigned channel) = 0;
    // The channel's cell moved, changed size or its overlays were switched: whatever was drawn
    // for the cell itself is stale.
    virtual void cellChanged(unsigned channel) = 0;

    // ---- GUI thread ----

    // The window's paint event, after the background was filled around the cells that show a
    // picture (those cover their rectangles).
    virtual void paint(QPainter& painter, const QRegion& exposed) = 0;
    // Repaints everything.
    virtual void repaint() = 0;
    // Repaints the cells of the slots in `slotMask` (bit n slot n).
    virtual void repaintChannels(SlotMask slotMask) = 0;
    // The window's size changed.
    virtual void resized() {}
};

} // namespace kalder
