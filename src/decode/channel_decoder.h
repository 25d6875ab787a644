#pragma once

#include "decode/decode_host.h"
#include "decode/decoder_library.h"
#include "decode/picture_store.h"
#include "decode/picture_target.h"
#include "wire/frame_consumer.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kalder {

// Counters of one decoder, for statistics and tests. Written by the decode thread only
// (enqueued by the producer), read from anywhere.
struct ChannelDecoderStats {
    std::uint64_t enqueued = 0;        // frames the producer appended
    std::uint64_t taken = 0;           // frames the thread took from the queue
    std::uint64_t discarded = 0;       // freed undecoded while discardAll was set
    std::uint64_t hidden = 0;          // dropped: video loss or covert channel in live view
    std::uint64_t invalid = 0;         // dropped: record shorter than its descriptor says
    std::uint64_t waitingDropped = 0;  // dropped while waiting for a key frame
    std::uint64_t backlogSkipped = 0;  // skipped by the backlog rule or never decodable
    std::uint64_t resyncs = 0;         // key frames that started a stream (picture cleared)
    std::uint64_t decodeCalls = 0;     // PT_H264dec_GetOneFrame calls
    std::uint64_t rebuilds = 0;        // decoder rebuilt after result -5
    std::uint64_t noPicture = 0;       // results 2, 3, 4
    std::uint64_t decodeErrors = 0;    // other results: frame dropped
    std::uint64_t decoded = 0;         // pictures the decoder module delivered
    std::uint64_t drawn = 0;           // pictures handed to the picture store and target
    std::uint64_t handled = 0;         // frames the thread has finished with, in any way
    std::uint64_t overflowDropped = 0; // dropped by the producer: the queue was full
    std::uint64_t filterSkipped = 0;   // frames decoded without the deblocking filter
    std::uint64_t keyOnlySkipped = 0;  // not decoded: key frames only (unseen window, fast play)
};

// Whether a picture of `width` x `height` shown in `cell` may be decoded without the deblocking
// filter: the cell is smaller than half the picture in both directions. An unknown cell (0 x 0:
// no window, the command line) is decoded fully.
bool deblockingInvisible(CellSize cell, int width, int height);

// One channel's frame queue and decode thread. The producer (the session's receive thread, a
// player's thread) appends FrameRecords; the thread keeps the stream in step (key frames, size
// changes, stream restarts, backlog), decodes through the decoder module into the channel's
// buffer of the picture store and tells the picture target of each picture, under the channel's
// picture lock.
//
// Stopping, by the owner: setDiscardAll() on every channel's decoder first, then one by one
// waitUntilDrained() and stop(). The destructor stops the thread when the owner did not
// and frees whatever is still queued.
class ChannelDecoder final : public FrameConsumer {
public:
    // A queue holding more than this many frames when a frame is taken makes the channel skip
    // to its next key frame (the queue list holds two placeholders besides the frames).
    static constexpr std::size_t kBacklogFrames = 28;
    // The queue's bound. The recorder decides how fast frames come: a queue that would pass
    // either limit drops its oldest frames up to its next key frame (all of them when it holds
    // none, and the thread then waits for a key frame). Sixteen channels' queues together stay
    // within 16 x kMaxQueuedBytes (64 MiB); a frame is at most one assembly buffer (1.2 MB).
    // About 4 s of a 30-frame/s channel, so that a burst of 200 ms rides through untouched.
    static constexpr std::size_t kMaxQueuedFrames = 120;
    static constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;
    // Result -5 rebuilds the decoder and retries the frame at most this often, result 1
    // repeats the call at most this often; then the frame is dropped.
    static constexpr int kMaxRebuildsPerFrame = 4;
    static constexpr int kMaxRepeatsPerFrame = 1000;

    // Starts the decode thread for a stream of `kind`, which decides the overlays, the web
    // export and the time a snapshot is stamped with. `library` may be null (no decoding); it,
    // `pictures`, `target` and `host` must outlive the decoder. The decoder module is asked for
    // planar pictures when the target wants them (PictureTarget::wantsPlanarPictures) and for
    // BGR otherwise; the store notes which layout each picture has.
    // `slotBase`: where the stream's channels lie in the store, the target and the host (the
    // recorder's first slot in a feed that shows several recorders): channel c of the stream
    // is c + slotBase there; `channel` is given that way too.
    ChannelDecoder(unsigned channel, StreamKind kind, const DecoderLibrary* library,
                   PictureStore& pictures, PictureTarget& target, DecodeHost& host,
                   unsigned slotBase = 0);
    ~ChannelDecoder() override;
    ChannelDecoder(const ChannelDecoder&) = delete;
    ChannelDecoder& operator=(const ChannelDecoder&) = delete;

    // Producer thread: appends the frame unless discardAll is set or it holds no video, keeping
    // the queue within its bound, and wakes the thread when it may be asleep (the queue was
    // empty). Never waits for the thread.
    void enqueueFrame(std::unique_ptr<FrameRecord> frame) override;
    bool discardAll() const override { return m_discardAll.load(); }

    // Owner.
    void setDiscardAll() override;
    std::size_t queuedFrames() const override;
    // Bytes of the queued frames' records.
    std::size_t queuedBytes() const;
    void waitUntilDrained() override;
    // requestStop() and wait for the thread's end.
    void stop() override;
    void requestStop();
    bool stopRequested() const { return m_stopRequested.load(); }
    // True until the thread's very last step.
    bool threadRunning() const { return m_threadRunning.load(); }
    // Stops the thread if it still runs, then frees every queued frame.
    void destroy();

    // Session: the channel's video-loss bit, under the state lock.
    void setVideoLoss(bool lost) override;
    bool videoLoss() const override;

    unsigned channel() const { return m_channel; }
    StreamKind kind() const { return m_kind; }
    ChannelDecoderStats stats() const;

private:
    // A queued frame and when the producer handed it over.
    struct Queued {
        std::unique_ptr<FrameRecord> frame;
        std::chrono::steady_clock::time_point arrival;
    };

    // Decode thread.
    struct ThreadState;
    void run();
    bool skipsDeblocking(unsigned channel, int width, int height);
    void handleFrame(ThreadState& state, const FrameRecord& frame, std::size_t listCount);
    int decode(ThreadState& state, const FrameRecord& frame);
    void handOver(ThreadState& state, const FrameRecord& frame, unsigned channel, bool fresh);
    void makeRoom(std::size_t incoming, std::vector<Queued>& dropped);

    struct Counters {
        std::atomic<std::uint64_t> enqueued{0}, taken{0}, discarded{0}, hidden{0}, invalid{0},
            waitingDropped{0}, backlogSkipped{0}, resyncs{0}, decodeCalls{0}, rebuilds{0},
            noPicture{0}, decodeErrors{0}, decoded{0}, drawn{0}, handled{0}, overflowDropped{0},
            filterSkipped{0}, keyOnlySkipped{0};
    };
    static void bump(std::atomic<std::uint64_t>& counter) {
        counter.fetch_add(1, std::memory_order_relaxed);
    }

    const unsigned m_channel;
    const unsigned m_slotBase;
    const StreamKind m_kind;
    const DecoderLibrary* const m_library;
    PictureStore& m_pictures;
    PictureTarget& m_target;
    DecodeHost& m_host;

    mutable std::mutex m_queueLock;
    std::condition_variable m_wake; // signalled by producers and requestStop
    std::deque<Queued> m_queue;     // guarded by m_queueLock
    std::size_t m_queuedBytes = 0;  // guarded by m_queueLock
    // Frames were dropped for the bound without a key frame to resume from: the thread must
    // wait for one. Guarded by m_queueLock.
    bool m_resyncAfterOverflow = false;
    // Signalled when the decode thread empties the queue and when it ends.
    std::condition_variable m_drained;
    bool m_threadEnded = false; // guarded by m_queueLock

    mutable std::mutex m_stateLock;
    bool m_videoLoss = false; // guarded by m_stateLock

    std::atomic<bool> m_discardAll{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_threadRunning{false};
    Counters m_counters;

    std::thread m_thread; // started last, in the constructor
};

} // namespace kalder
