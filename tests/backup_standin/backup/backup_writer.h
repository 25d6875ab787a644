#pragma once
// Stand-in for the backup writer until the real one lands: the agreed interface, no files.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kalder {

struct BackupItem {
    enum class Kind { Data, Done, Fail };
    Kind kind = Kind::Data;
    unsigned channel = 0;
    std::uint32_t videoLength = 0;
    std::uint32_t audioLength = 0;
    std::vector<std::byte> bytes;
};
struct BackupWriteResult {
    enum class End { Done, Failed, Stopped, FileError };
    End end = End::Done;
    std::vector<std::string> sets;
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
    std::string error;
};
struct BackupWriterEvents {
    std::function<void(std::uint64_t kbytes)> progress;
    std::function<void(const BackupWriteResult&)> ended;
};
struct BackupWriterLimits {
    std::uint64_t rolloverBytes = 681574400;
    std::size_t maxSegments = 1024;
    std::function<std::uint32_t()> now;
};
class BackupWriter {
public:
    BackupWriter(std::filesystem::path folder, BackupWriterEvents events,
                 BackupWriterLimits limits = {});
    ~BackupWriter();
    void push(BackupItem item);
    std::size_t queued() const { return 0; }
    void waitUntilDrained() {}
    void stop();
    bool ended() const { return m_ended; }
    BackupWriteResult result() const;

private:
    void finish(BackupWriteResult::End end);
    BackupWriterEvents m_events;
    mutable std::mutex m_mutex;
    BackupWriteResult m_result;
    std::atomic<bool> m_ended{false};
};

} // namespace kalder
