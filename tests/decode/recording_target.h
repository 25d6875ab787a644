#pragma once

#include "decode/decode_host.h"
#include "decode/picture_target.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
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

// A picture target that keeps the buffers and writes down what the decode threads do.
class RecordingTarget final : public PictureTarget {
public:
    explicit RecordingTarget(bool accelerated, StreamKind mode = StreamKind::Live)
        : m_accelerated(accelerated), m_mode(mode) {
        for (auto& buffer : m_buffers) {
            buffer.assign(kPictureBufferSize, std::byte{0});
        }
    }

    struct ChannelLog {
        int clears = 0;
        int prepared = 0;
        int draws = 0;
        int marks = 0;
        int counted = 0;
        int width = 0;
        int height = 0;
        // "clear", "draw" in the order they happened.
        std::vector<std::string> events;
    };

    std::byte* pictureBuffer(unsigned channel) override { return m_buffers[channel].data(); }
    std::mutex& pictureLock(unsigned channel) override {
        m_lockRequests.fetch_add(1);
        return m_locks[channel];
    }
    bool isAccelerated() const override { return m_accelerated; }
    StreamKind mode() const override { return m_mode; }
    void setPictureSize(unsigned channel, int width, int height) override {
        std::lock_guard lock(m_logLock);
        m_logs[channel].width = width;
        m_logs[channel].height = height;
    }
    void prepareSurface(unsigned channel, int, int) override {
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].prepared;
    }
    void clearPicture(unsigned channel) override {
        std::fill(m_buffers[channel].begin(), m_buffers[channel].end(), std::byte{0});
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].clears;
        m_logs[channel].events.push_back("clear");
    }
    void markDecoded(unsigned channel) override {
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].marks;
    }
    void drawChannel(unsigned channel) override {
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].draws;
        m_logs[channel].events.push_back("draw");
    }
    CellSize cellSize(unsigned) const override { return {200, 134}; }
    void countFrame(unsigned channel) override {
        std::lock_guard lock(m_logLock);
        ++m_logs[channel].counted;
    }

    ChannelLog log(unsigned channel) {
        std::lock_guard lock(m_logLock);
        return m_logs[channel];
    }
    std::vector<std::byte> picture(unsigned channel) {
        std::lock_guard lock(m_locks[channel]);
        return m_buffers[channel];
    }
    int lockRequests() const { return m_lockRequests.load(); }

private:
    const bool m_accelerated;
    const StreamKind m_mode;
    std::array<std::vector<std::byte>, kChannelCount> m_buffers; // guarded by m_locks
    std::array<std::mutex, kChannelCount> m_locks;
    std::mutex m_logLock;
    std::array<ChannelLog, kChannelCount> m_logs; // guarded by m_logLock
    std::atomic<int> m_lockRequests{0};
};

// A host whose answers the test sets, and which counts what it is told.
class RecordingHost final : public DecodeHost {
public:
    std::atomic<bool> liveOn{false};
    std::atomic<bool> covertHidden{false};
    std::atomic<int> initFailures{0};
    std::atomic<int> threadsEnded{0};
    std::atomic<int> snapshotRequests{0};
    std::mutex snapshotLock;
    std::vector<std::string> snapshotTimes; // guarded by snapshotLock

    LiveVisibility liveVisibility(unsigned) override {
        return {liveOn.load(), covertHidden.load()};
    }
    void decoderInitFailed(unsigned) override { initFailures.fetch_add(1); }
    void decodeThreadEnded(unsigned) override { threadsEnded.fetch_add(1); }
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
