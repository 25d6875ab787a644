#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kalder {

// One item of a backup transfer, handed over by the receive thread.
struct BackupItem {
    // TRANS_ON_DATA (295), TRANS_ON_DONE (297), TRANS_ON_FAIL (298)
    enum class Kind { Data, Done, Fail };
    Kind kind = Kind::Data;
    unsigned channel = 0; // 0..15
    std::uint32_t videoLength = 0;
    std::uint32_t audioLength = 0;
    // Data: the 192-byte recording frame header, the 40-byte frame info block, the video bytes,
    // then the audio bytes: exactly videoLength + audioLength + 232 bytes. An item whose lengths
    // do not match its bytes, larger than 1,244,160 bytes, or of a channel above 15 is dropped.
    std::vector<std::byte> bytes;
};

struct BackupWriteResult {
    enum class End { Done, Failed, Stopped, FileError };
    End end = End::Done;
    std::vector<std::string> sets; // base names (lower-case hex) of the sets written, in order
    std::filesystem::path folder;  // where the sets were written
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;   // the 64-bit byte total of the frames written
    std::string error;         // for FileError: what failed, for the notification
    std::uint64_t dropped = 0; // frame items refused (lengths or channel out of bounds)
};

// Called on the writer thread; either may be empty. Neither may stop or destroy the writer.
struct BackupWriterEvents {
    std::function<void(std::uint64_t kbytes)> progress;  // after each frame: total / 1024
    std::function<void(const BackupWriteResult&)> ended; // once, after the set is closed
};

// Test seams; the defaults are the recorder's.
struct BackupWriterLimits {
    std::uint64_t rolloverBytes = 681574400; // 650 x 1,048,576
    std::size_t maxSegments = 1024;          // at most 1,024 (the index has no more slots)
    std::function<std::uint32_t()> now; // seconds since 1970 for names and links; empty = the clock
    // push() waits while this many bytes are queued and the writer is alive, so that a writer
    // that falls behind slows the recorder through TCP instead of filling memory.
    std::size_t maxQueuedBytes = std::size_t(64) << 20;
};

// Stores one backup transfer as one or more sets of .idx, .vih and .vid files in `folder`
// (created when missing). A thread of its own takes the frames from the queue, appends them to
// the open set and keeps its index; it starts a chained set when the data passes the rollover
// size or the index runs out of segment slots, and closes the set whole when the transfer ends,
// is stopped or a file operation fails.
class BackupWriter {
public:
    BackupWriter(std::filesystem::path folder, BackupWriterEvents events,
                 BackupWriterLimits limits = {});
    ~BackupWriter(); // stop() then join
    BackupWriter(const BackupWriter&) = delete;
    BackupWriter& operator=(const BackupWriter&) = delete;

    // Producer side, any thread. Dropped once the writer has ended or been told to stop.
    void push(BackupItem item);
    // The queue count as the writer last saw it, before taking an item (the receive thread
    // sleeps (queued() + 2) / 8 ms per frame).
    std::size_t queued() const { return m_seen.load(); }
    // Returns when the queue is empty or the thread has ended.
    void waitUntilDrained();
    // The stop flag: the thread closes the set whole (queued items are dropped) and ends; joins.
    // Never from the writer's own events.
    void stop();
    bool ended() const { return m_ended.load(); }
    BackupWriteResult result() const; // valid once ended()

private:
    void run();

    const std::filesystem::path m_folder;
    const BackupWriterEvents m_events;
    const BackupWriterLimits m_limits;

    mutable std::mutex m_lock;         // the queue lock
    std::condition_variable m_wake;    // an item or the stop flag for the writer
    std::condition_variable m_drained; // the queue emptied, room in it, or the thread ended
    std::deque<BackupItem> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_stop = false;
    BackupWriteResult m_result;
    std::atomic<std::size_t> m_seen{0};
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

} // namespace kalder
