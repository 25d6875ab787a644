#pragma once

#include "wire/frame_record.h"

#include <cstddef>
#include <memory>

namespace kalder {

// A channel's frame consumer as the session sees it (the channel decoder). The producer hands
// frames over with enqueueFrame; the owner dismantles consumers in a fixed order: setDiscardAll
// on all of them first, then one by one waitUntilDrained(), then stop().
class FrameConsumer {
public:
    virtual ~FrameConsumer() = default;

    // Producer (receive thread): appends under the consumer's queue lock and wakes it.
    virtual void enqueueFrame(std::unique_ptr<FrameRecord> frame) = 0;
    // Read by the producer before handing a frame over: nothing is queued once it is set.
    virtual bool discardAll() const = 0;

    // Owner (GUI thread).
    virtual void setDiscardAll() = 0;
    virtual std::size_t queuedFrames() const = 0;
    // Blocks until no frame is queued any more, or the consumer's thread has ended (then frames
    // may stay queued: nothing would take them).
    virtual void waitUntilDrained() = 0;
    // Sets the stop request and returns when the consumer's thread has ended.
    virtual void stop() = 0;

    // Video loss of the channel, written under the consumer's state lock.
    virtual void setVideoLoss(bool lost) = 0;
    virtual bool videoLoss() const = 0;
};

// Creates the consumer of one channel (0-15) when live view or playback starts.
class FrameConsumerFactory {
public:
    virtual ~FrameConsumerFactory() = default;
    virtual std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) = 0;
};

} // namespace kalder
