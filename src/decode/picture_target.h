#pragma once

#include "wire/channel_count.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace kalder {

// Bytes of one channel's picture buffer: 720 x 576 x 3.
inline constexpr std::size_t kPictureBufferSize = 1244160;

// What the window shows, taken by each decode thread at its start as the kind of its stream.
enum class StreamKind { Idle = 0, Live = 1, RemotePlayback = 2, LocalPlayback = 3 };

struct CellSize {
    int width = 0;
    int height = 0;
};

// The picture side of the decode pipeline: the sixteen picture buffers and their locks, and
// the drawing of a channel's cell. Implemented by the video window, and by kalder-cli for its
// statistics and snapshots.
//
// Decode threads call every function below from their own thread. A channel's picture buffer
// and its stored size are guarded by that channel's picture lock; setPictureSize,
// prepareSurface, clearPicture, markDecoded and drawChannel are called with it held, and so is
// every write of the buffer. cellSize, countFrame, isAccelerated and mode are called without it.
class PictureTarget {
public:
    virtual ~PictureTarget() = default;

    // kPictureBufferSize bytes, living as long as the target.
    virtual std::byte* pictureBuffer(unsigned channel) = 0;
    virtual std::mutex& pictureLock(unsigned channel) = 0;

    // True: pictures are drawn from planar YUV 4:2:0; false: from bottom-up 24-bit BGR.
    virtual bool isAccelerated() const = 0;
    virtual StreamKind mode() const = 0;

    virtual void setPictureSize(unsigned channel, int width, int height) = 0;
    // Accelerated drawing: make the channel's planar surface fit width x height.
    virtual void prepareSurface(unsigned channel, int width, int height) = 0;
    // Zeroes the whole buffer.
    virtual void clearPicture(unsigned channel) = 0;
    // The channel holds a decoded picture now.
    virtual void markDecoded(unsigned channel) = 0;
    // Draws the channel's cell from its picture buffer.
    virtual void drawChannel(unsigned channel) = 0;

    virtual CellSize cellSize(unsigned channel) const = 0;
    // Counts a decoded picture for the channel's frame rate.
    virtual void countFrame(unsigned channel) = 0;
};

} // namespace kalder
