#include "decode/channel_decoder.h"

#include "decode/picture_layout.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace kalder {

namespace {

// The queue list of a decoder holds two placeholder entries in front of its frames; the
// backlog rule is stated in list entries.
constexpr std::size_t kPlaceholderEntries = 2;
// Stream size a decode thread starts with.
constexpr int kStartWidth = 352;
constexpr int kStartHeight = 240;

bool isPictureResult(int result) {
    return result == kH264Picture || result == kH264PictureAlt;
}

bool isNoPictureResult(int result) {
    return result == kH264NoPicture || result == 3 || result == 4;
}

std::string_view titleOf(const FrameDescriptor& descriptor) {
    const auto& title = descriptor.title;
    const auto end = std::find(title.begin(), title.end(), '\0');
    return std::string_view(title.data(), static_cast<std::size_t>(end - title.begin()));
}

} // namespace

bool deblockingInvisible(CellSize cell, int width, int height) {
    return cell.width > 0 && cell.height > 0 && 2 * cell.width < width && 2 * cell.height < height;
}

// Everything the decode thread keeps for itself.
struct ChannelDecoder::ThreadState {
    std::array<std::uint32_t, kH264ContextWords> context{};
    DecoderEntries entries;
    PictureLayout layout = PictureLayout::Planar;
    bool accelerated = false;
    bool waitingForKeyFrame = true;
    // Remembered stream: generation (-1 forces the next frame to count as a new one) and size.
    std::int64_t generation = 0;
    int width = kStartWidth;
    int height = kStartHeight;
    // A key frame of the current generation and size has been taken.
    bool synced = false;
    // Without a decoder module every frame goes on as if this result had come back.
    int lastResult = kH264Picture;
    // Pictures are decoded straight into the channel's picture buffer with the picture lock
    // held, so that the window never paints a half-written one: planar, or BGR already in the
    // order the software painter draws. A module that only writes top-down BGR (format 3)
    // writes into `output` instead, which is then reordered into the buffer under the lock.
    bool reorder = false;
    std::vector<std::byte> output;
    std::chrono::steady_clock::time_point lastWebExport;
    // When the frame being handled was queued.
    std::chrono::steady_clock::time_point arrival;
    unsigned lastChannel;
};

ChannelDecoder::ChannelDecoder(unsigned channel, StreamKind kind, const DecoderLibrary* library,
                               PictureStore& pictures, PictureTarget& target, DecodeHost& host,
                               unsigned slotBase)
    : m_channel(channel), m_slotBase(slotBase), m_kind(kind), m_library(library),
      m_pictures(pictures), m_target(target), m_host(host) {
    m_threadRunning = true;
    m_thread = std::thread([this] { run(); });
}

ChannelDecoder::~ChannelDecoder() {
    destroy();
}

void ChannelDecoder::enqueueFrame(std::unique_ptr<FrameRecord> frame) {
    if (!frame || frame->descriptor.videoLength == 0 || m_discardAll.load()) {
        return;
    }
    std::vector<Queued> dropped;
    const auto arrival = std::chrono::steady_clock::now();
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_queueLock);
        const std::size_t bytes = frame->data.size();
        makeRoom(bytes, dropped);
        wasEmpty = m_queue.empty();
        m_queuedBytes += bytes;
        m_queue.push_back({std::move(frame), arrival});
    }
    // The thread sleeps only on an empty queue: a frame behind others needs no wake-up.
    if (wasEmpty)
        m_wake.notify_one();
    bump(m_counters.enqueued);
    if (!dropped.empty()) {
        m_counters.overflowDropped.fetch_add(dropped.size(), std::memory_order_relaxed);
        m_counters.handled.fetch_add(dropped.size(), std::memory_order_relaxed);
        dropped.clear(); // freed outside the lock
    }
}

// Producer, under the queue lock: drops the oldest frames up to the next queued key frame until
// a frame of `incoming` bytes fits the bound. The dropped records are handed back so that they are
// freed after the lock is released.
void ChannelDecoder::makeRoom(std::size_t incoming, std::vector<Queued>& dropped) {
    auto full = [&] {
        return m_queue.size() + 1 > kMaxQueuedFrames || m_queuedBytes + incoming > kMaxQueuedBytes;
    };
    while (!m_queue.empty() && full()) {
        // The front frame goes in any case; then everything up to the next key frame.
        do {
            m_queuedBytes -= m_queue.front().frame->data.size();
            dropped.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        } while (!m_queue.empty() && !m_queue.front().frame->descriptor.keyFrame());
        if (m_queue.empty())
            m_resyncAfterOverflow = true; // nothing left to resume from
    }
}

void ChannelDecoder::setDiscardAll() {
    m_discardAll = true;
    m_wake.notify_one();
}

std::size_t ChannelDecoder::queuedFrames() const {
    std::lock_guard lock(m_queueLock);
    return m_queue.size();
}

std::size_t ChannelDecoder::queuedBytes() const {
    std::lock_guard lock(m_queueLock);
    return m_queuedBytes;
}

void ChannelDecoder::waitUntilDrained() {
    std::unique_lock lock(m_queueLock);
    m_drained.wait(lock, [this] { return m_queue.empty() || m_threadEnded; });
}

void ChannelDecoder::requestStop() {
    {
        std::lock_guard lock(m_queueLock);
        m_stopRequested = true;
    }
    m_wake.notify_all();
}

void ChannelDecoder::stop() {
    requestStop();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void ChannelDecoder::destroy() {
    stop();
    std::deque<Queued> left;
    {
        std::lock_guard lock(m_queueLock);
        left.swap(m_queue);
        m_queuedBytes = 0;
    }
    // `left` frees the frames outside the lock.
}

void ChannelDecoder::setVideoLoss(bool lost) {
    std::lock_guard lock(m_stateLock);
    m_videoLoss = lost;
}

bool ChannelDecoder::videoLoss() const {
    std::lock_guard lock(m_stateLock);
    return m_videoLoss;
}

ChannelDecoderStats ChannelDecoder::stats() const {
    const auto get = [](const std::atomic<std::uint64_t>& c) {
        return c.load(std::memory_order_relaxed);
    };
    const Counters& c = m_counters;
    return {get(c.enqueued),        get(c.taken),         get(c.discarded),
            get(c.hidden),          get(c.invalid),       get(c.waitingDropped),
            get(c.backlogSkipped),  get(c.resyncs),       get(c.decodeCalls),
            get(c.rebuilds),        get(c.noPicture),     get(c.decodeErrors),
            get(c.decoded),         get(c.drawn),         get(c.handled),
            get(c.overflowDropped), get(c.filterSkipped), get(c.keyOnlySkipped)};
}

void ChannelDecoder::run() {
    ThreadState state;
    state.lastChannel = m_channel;
    state.accelerated = m_target.isAccelerated();
    state.layout =
        m_target.wantsPlanarPictures() ? PictureLayout::Planar : PictureLayout::BottomUpBgr;
    state.context[kH264WordOne] = 1;
    state.context[kH264WordFormat] =
        state.layout == PictureLayout::Planar ? kH264FormatPlanar : kH264FormatBgrBottomUp;
    if (m_library != nullptr) {
        state.entries = m_library->entries();
    }
    if (state.entries) {
        // The module must accept a context that holds no decoder.
        state.entries.uninit(state.context.data());
        bool started = state.entries.init(state.context.data()) == 0;
        if (!started && state.layout == PictureLayout::BottomUpBgr) {
            state.context[kH264WordFormat] = kH264FormatBgr;
            started = state.entries.init(state.context.data()) == 0;
            state.reorder = started;
        }
        if (!started) {
            m_host.decoderInitFailed(m_channel);
        }
    }
    if (state.reorder) {
        state.output.assign(kPictureBufferSize, std::byte{0});
    }
    state.lastWebExport = std::chrono::steady_clock::now();

    while (!m_stopRequested.load()) {
        std::unique_ptr<FrameRecord> frame;
        std::size_t listCount = 0;
        {
            std::unique_lock lock(m_queueLock);
            if (m_queue.empty()) {
                // Producers wake the thread when they fill an empty queue, requestStop always.
                m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopRequested.load(); });
                if (m_queue.empty()) {
                    continue;
                }
            }
            listCount = m_queue.size() + kPlaceholderEntries;
            frame = std::move(m_queue.front().frame);
            state.arrival = m_queue.front().arrival;
            m_queue.pop_front();
            m_queuedBytes -= frame->data.size();
            if (std::exchange(m_resyncAfterOverflow, false))
                state.waitingForKeyFrame = true;
            if (m_queue.empty())
                m_drained.notify_all();
        }
        bump(m_counters.taken);
        if (m_discardAll.load()) {
            bump(m_counters.discarded);
        } else {
            handleFrame(state, *frame, listCount);
        }
        frame.reset();
        bump(m_counters.handled);
    }

    if (state.entries && state.context[kH264WordDecoder] != 0) {
        state.entries.uninit(state.context.data());
    }
    m_host.decodeThreadEnded(state.lastChannel);
    {
        std::lock_guard lock(m_queueLock);
        m_threadEnded = true;
    }
    m_drained.notify_all();
    m_threadRunning = false;
}

// Small cells skip the deblocking filter unless their pictures are kept: the web export's
// pictures and a snapshot waiting for its picture are decoded fully.
bool ChannelDecoder::skipsDeblocking(unsigned channel, int width, int height) {
    if (!m_target.cheaperSmallCells() ||
        !deblockingInvisible(m_target.cellSize(channel), width, height))
        return false;
    if (m_kind == StreamKind::Live && m_host.webExportInterval())
        return false;
    return !m_host.snapshotRequested(channel);
}

void ChannelDecoder::handleFrame(ThreadState& state, const FrameRecord& frame,
                                 std::size_t listCount) {
    const FrameDescriptor& descriptor = frame.descriptor;
    // The stream's channel where the store, the target and the host keep it.
    const unsigned channel = m_slotBase + descriptor.channel;
    const int width = descriptor.width;
    const int height = descriptor.height;
    // A record must hold the block and video its descriptor announces, and its picture must
    // fit a picture buffer.
    if (descriptor.channel >= kChannelCount || descriptor.blockLength <= kFrameInfoBlockSize ||
        descriptor.blockLength > frame.data.size() ||
        pictureBytes(PictureLayout::BottomUpBgr, width, height) > kPictureBufferSize) {
        bump(m_counters.invalid);
        return;
    }
    state.lastChannel = channel;

    const DecodeHost::LiveVisibility visibility = m_host.liveVisibility(channel);
    if (visibility.liveOn && (videoLoss() || visibility.covertHidden)) {
        bump(m_counters.hidden);
        state.synced = false;
        return;
    }

    const bool sameGeneration = descriptor.streamGeneration == state.generation;
    const bool sameSize = width == state.width && height == state.height;
    if (!(sameGeneration && sameSize && state.synced)) {
        if (sameGeneration && !sameSize) {
            state.generation = -1;
            state.width = width;
            state.height = height;
            state.synced = false;
        } else if (!sameGeneration) {
            state.generation = descriptor.streamGeneration;
            state.width = width;
            state.height = height;
            state.synced = false;
        }
        // Resynchronisation: only a key frame can start the stream.
        if (!descriptor.keyFrame()) {
            state.waitingForKeyFrame = true;
            bump(m_counters.waitingDropped);
            return;
        }
        state.waitingForKeyFrame = false;
        state.synced = true;
        // The key frame starts the stream of its own generation, so that the frames after a
        // size change are not taken for yet another restart.
        state.generation = descriptor.streamGeneration;
        bump(m_counters.resyncs);
        std::lock_guard picture(m_pictures.lock(channel));
        m_pictures.setSize(channel, width, height);
        m_pictures.setPlanar(channel, state.layout == PictureLayout::Planar);
        if (state.accelerated) {
            m_target.prepareSurface(channel, width, height);
        }
        m_pictures.clear(channel);
        m_target.pictureCleared(channel);
    }

    // Backlog: rather skip to the next key frame than decode the whole queue late.
    if (listCount > kBacklogFrames + kPlaceholderEntries) {
        state.waitingForKeyFrame = true;
    }
    // Unseen pictures: key frames only (the web export's pictures are seen elsewhere); the
    // frames after a skipped one can start again only at a key frame.
    if (!descriptor.keyFrame() && m_target.keyFramesOnly() &&
        !(m_kind == StreamKind::Live && m_host.webExportInterval())) {
        state.waitingForKeyFrame = true;
        bump(m_counters.keyOnlySkipped);
        return;
    }
    if (descriptor.keyFrame()) {
        state.waitingForKeyFrame = false;
        // A group of pictures is decoded one way throughout: the choice is made at its key
        // frame, so that no picture refers to one decoded the other way.
        state.context[kH264WordSkipLoopFilter] = skipsDeblocking(channel, width, height) ? 1 : 0;
    } else if (state.waitingForKeyFrame || descriptor.frameType == kFrameTypeNeverDecoded) {
        bump(m_counters.backlogSkipped);
        return;
    }
    if (state.context[kH264WordSkipLoopFilter] != 0)
        bump(m_counters.filterSkipped);

    const int result = decode(state, frame);
    if (isPictureResult(result)) {
        handOver(state, frame, channel, static_cast<bool>(state.entries));
    }
}

int ChannelDecoder::decode(ThreadState& state, const FrameRecord& frame) {
    if (!state.entries) {
        return state.lastResult;
    }
    const auto* video =
        reinterpret_cast<const std::uint8_t*>(frame.data.data()) + kFrameInfoBlockSize;
    const int length = static_cast<int>(frame.descriptor.blockLength - kFrameInfoBlockSize);
    std::unique_lock<std::mutex> picture;
    std::uint8_t* output = reinterpret_cast<std::uint8_t*>(state.output.data());
    if (!state.reorder) {
        const unsigned channel = m_slotBase + frame.descriptor.channel;
        picture = std::unique_lock(m_pictures.lock(channel));
        output = reinterpret_cast<std::uint8_t*>(m_pictures.buffer(channel));
    }
    int rebuilds = 0;
    int repeats = 0;
    int result = kH264BadFrame;
    for (;;) {
        bump(m_counters.decodeCalls);
        result = state.entries.getOneFrame(state.context.data(), video, length, output);
        if (result == kH264CallAgain) {
            // A module that keeps asking must not hold the channel (or its stop) for ever.
            if (++repeats > kMaxRepeatsPerFrame || m_stopRequested.load()) {
                result = kH264BadFrame;
                break;
            }
            continue;
        }
        if (result == kH264Rebuild) {
            if (++rebuilds > kMaxRebuildsPerFrame || m_stopRequested.load()) {
                result = kH264BadFrame;
                break;
            }
            bump(m_counters.rebuilds);
            state.entries.uninit(state.context.data());
            state.entries.init(state.context.data());
            continue;
        }
        break;
    }
    state.lastResult = result;
    if (isPictureResult(result)) {
        bump(m_counters.decoded);
    } else if (isNoPictureResult(result)) {
        bump(m_counters.noPicture);
    } else {
        bump(m_counters.decodeErrors);
    }
    return result;
}

void ChannelDecoder::handOver(ThreadState& state, const FrameRecord& frame, unsigned channel,
                              bool fresh) {
    const FrameDescriptor& descriptor = frame.descriptor;
    const int width = descriptor.width;
    const int height = descriptor.height;
    const CellSize cell = m_target.cellSize(channel);
    m_host.composeOverlay({channel, m_kind, width, height, titleOf(descriptor), cell});
    m_target.countFrame(channel);

    std::lock_guard picture(m_pictures.lock(channel));
    std::byte* buffer = m_pictures.buffer(channel);
    const std::size_t bytes = pictureBytes(state.layout, width, height);
    if (fresh && state.reorder) {
        reorderForBottomUp(state.output, std::span(buffer, kPictureBufferSize), width, height);
    }
    m_pictures.setSize(channel, width, height);
    m_pictures.setArrival(channel, state.arrival);
    m_pictures.setPlanar(channel, state.layout == PictureLayout::Planar);
    m_pictures.markDecoded(channel);
    m_target.drawChannel(channel);
    bump(m_counters.drawn);

    const bool exportDue = m_kind == StreamKind::Live && [&] {
        const std::optional<int> setting = m_host.webExportInterval();
        if (!setting) {
            return false;
        }
        const int interval = (*setting < 1 || *setting > 20) ? 1 : *setting;
        const auto now = std::chrono::steady_clock::now();
        if (now - state.lastWebExport < std::chrono::milliseconds(10000 / interval)) {
            return false;
        }
        state.lastWebExport = now;
        return true;
    }();
    // A snapshot is evidence: it waits for a fully decoded picture (the next group of pictures
    // is decoded fully while the request waits).
    const bool snapshot =
        state.context[kH264WordSkipLoopFilter] == 0 && m_host.takeSnapshotRequest(channel);
    if (!exportDue && !snapshot) {
        return;
    }
    std::int64_t frameTime = 0;
    if (m_kind == StreamKind::Live) {
        frameTime = frame.header.headerWord3;
    } else if (m_kind != StreamKind::Idle) {
        frameTime = m_host.playbackClockSeconds(m_kind).value_or(0);
    }
    const PictureView view{
        channel, width, height, state.layout, std::span<const std::byte>(buffer, bytes), frameTime};
    if (exportDue) {
        m_host.exportWebPicture(view);
    }
    if (snapshot) {
        m_host.saveSnapshot(view, formatSnapshotTime(frameTime, m_host.dateFormat()));
    }
}

} // namespace kalder
