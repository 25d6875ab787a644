#pragma once

#include "decode/decode_host.h"
#include "decode/picture_target.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kalder::test {

// Polls `done` until it holds or 20 s have passed (a hang, not a timing check).
inline bool waitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A picture target that writes down what the decode threads tell it; the pictures are in the
// store it is given.
class RecordingTarget final : public PictureTarget {
public:
    RecordingTarget(PictureStore& pictures, bool accelerated)
        : m_pictures(pictures), m_accelerated(accelerated) {}

    // Every channel's cell, and whether small cells may skip the deblocking filter.
    std::atomic<int> cellWidth{200};
    std::atomic<int> cellHeight{134};
    std::atomic<bool> cheaper{false};
    // Nobody sees the pictures: key frames only.
    std::atomic<bool> unseen{false};

    struct ChannelLog {
        int clears = 0;
        int prepared = 0;
        int draws = 0;
        int counted = 0;
        // The store's picture size at the last clear or draw.
        int width = 0;
        int height = 0;
        // "clear", "draw" in the order they happened.
        std::vector<std::string> events;
    };

    bool isAccelerated() const override { return m_accelerated; }
    void prepareSurface(unsigned channel, int, int) override {
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].prepared;
    }
    // Called with the channel's picture lock held, like drawChannel: the store may be read.
    void pictureCleared(unsigned channel) override {
        const PictureStore::Size size = m_pictures.size(channel);
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].clears;
        m_logs[channel].width = size.width;
        m_logs[channel].height = size.height;
        m_logs[channel].events.push_back("clear");
    }
    void drawChannel(unsigned channel) override {
        const PictureStore::Size size = m_pictures.size(channel);
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].draws;
        m_logs[channel].width = size.width;
        m_logs[channel].height = size.height;
        m_logs[channel].events.push_back("draw");
    }
    CellSize cellSize(unsigned) const override { return {cellWidth.load(), cellHeight.load()}; }
    bool cheaperSmallCells() const override { return cheaper.load(); }
    bool keyFramesOnly() const override { return unseen.load(); }
    void countFrame(unsigned channel) override {
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].counted;
    }

    ChannelLog log(unsigned channel) {
        std::lock_guard lock(m_logLock);
        return m_logs[channel];
    }
    // A copy of the channel's picture buffer.
    std::vector<std::byte> picture(unsigned channel) {
        std::lock_guard lock(m_pictures.lock(channel));
        const std::byte* bytes = m_pictures.buffer(channel);
        return std::vector<std::byte>(bytes, bytes + kPictureBufferSize);
    }

private:
    PictureStore& m_pictures;
    const bool m_accelerated;
    std::mutex m_logLock;
    std::array<ChannelLog, 64> m_logs; // guarded by m_logLock; up to a store of 64 slots
};

// A host whose answers the test sets, and which counts what it is told.
class RecordingHost final : public DecodeHost {
public:
    std::atomic<bool> liveOn{false};
    std::atomic<bool> covertHidden{false};
    std::atomic<int> initFailures{0};
    std::atomic<int> threadsEnded{0};
    std::atomic<int> snapshotRequests{0};
    // The player's clock, asked with the stream's kind; 0 for none.
    std::atomic<std::int64_t> playbackSeconds{0};
    std::mutex snapshotLock;
    std::vector<std::string> snapshotTimes; // guarded by snapshotLock
    std::vector<StreamKind> clockKinds;     // guarded by snapshotLock
    std::vector<StreamKind> overlayKinds;   // guarded by snapshotLock

    LiveVisibility liveVisibility(unsigned) override {
        return {liveOn.load(), covertHidden.load()};
    }
    std::optional<std::int64_t> playbackClockSeconds(StreamKind kind) override {
        std::lock_guard lock(snapshotLock);
        clockKinds.push_back(kind);
        const std::int64_t seconds = playbackSeconds.load();
        return seconds != 0 ? std::optional(seconds) : std::nullopt;
    }
    void composeOverlay(const OverlayFacts& facts) override {
        std::lock_guard lock(snapshotLock);
        overlayKinds.push_back(facts.kind);
    }
    void decoderInitFailed(unsigned) override { initFailures.fetch_add(1); }
    void decodeThreadEnded(unsigned) override { threadsEnded.fetch_add(1); }
    bool snapshotRequested(unsigned) override { return snapshotRequests.load() > 0; }
    bool takeSnapshotRequest(unsigned) override {
        int pending = snapshotRequests.load();
        while (pending > 0 && !snapshotRequests.compare_exchange_weak(pending, pending - 1)) {
        }
        return pending > 0;
    }
    void saveSnapshot(const PictureView&, std::string_view timeText) override {
        std::lock_guard lock(snapshotLock);
        snapshotTimes.emplace_back(timeText);
    }
};

} // namespace kalder::test
