#pragma once

#include "decode/picture_store.h"
#include "wire/stream_kind.h"

namespace kalder {

struct CellSize {
    int width = 0;
    int height = 0;
};

// The drawing side of the decode pipeline: what a decode thread tells whoever shows the pictures
// it leaves in a PictureStore. Implemented by the video window; kalder-cli, the benchmarks and
// the tests implement what they count. A target allocates no pictures: they are in the store.
//
// Decode threads call every function from their own thread, several threads at once (one per
// channel). prepareSurface, pictureCleared and drawChannel are called with the channel's picture
// lock (PictureStore::lock) held, right after the thread changed the channel's picture in the
// store; isAccelerated, cellSize and countFrame without it. The defaults do nothing.
class PictureTarget {
public:
    virtual ~PictureTarget() = default;

    // True: pictures are drawn from planar YUV 4:2:0; false: from bottom-up 24-bit BGR. Asked
    // once, when a decode thread starts.
    virtual bool isAccelerated() const = 0;
    // True: the decode thread delivers planar YUV 4:2:0 pictures even where they are drawn in
    // software (the target converts them straight into its cells); by default the layout
    // isAccelerated names. Asked once, when a decode thread starts.
    virtual bool wantsPlanarPictures() const { return isAccelerated(); }

    // Accelerated drawing, a new stream starts in the channel: make its planar surface fit
    // width x height.
    virtual void prepareSurface(unsigned /*channel*/, int /*width*/, int /*height*/) {}
    // A new stream starts in the channel: its picture in the store was zeroed.
    virtual void pictureCleared(unsigned /*channel*/) {}
    // The store holds a new decoded picture of the channel (marked decoded, with its size): draw
    // the channel's cell from it.
    virtual void drawChannel(unsigned /*channel*/) {}

    // Size of the channel's cell, for fitting its overlay title; 0 x 0 without cells.
    virtual CellSize cellSize(unsigned /*channel*/) const { return {}; }
    // Whether a channel whose cell is smaller than half its picture in both directions may be
    // decoded without the deblocking filter, which cannot be seen at that scale.
    virtual bool cheaperSmallCells() const { return false; }
    // Decode only key frames: nobody sees the pictures (the window is minimized or hidden; a
    // picture is there at once when it shows again), or fast playback, where the recorder
    // sends every frame and only key frames are shown. Full decoding resumes at the next key
    // frame after that.
    virtual bool keyFramesOnly() const { return false; }
    // Counts a decoded picture for the channel's frame rate.
    virtual void countFrame(unsigned /*channel*/) {}
};

} // namespace kalder
