#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kalder {

// "chinfo.bin" of the web export folder: the streaming channel mask, the export picture's width
// and height and the export interval, each a decimal line ended by CR LF.
struct ChannelInfo {
    std::uint16_t mask = 0;
    int width = 0;
    int height = 0;
    int interval = 0;

    bool operator==(const ChannelInfo&) const = default;
};

std::string encodeChannelInfo(const ChannelInfo& info);

// Writes "chinfo.bin" off the caller's thread. The recorder decides how often the mask arrives,
// so requests are coalesced: only the newest one waiting is written, and a file whose content
// would not change is not written at all. Each write replaces the file as a whole (temporary
// file, sync, rename), so a reader never sees half a file.
//
// Threads: submit() from any thread (the GUI thread in practice); the writer's own thread does
// the file work. The destructor writes what is still waiting, then stops and joins the thread.
class ChannelInfoFileWriter {
public:
    ChannelInfoFileWriter();
    ~ChannelInfoFileWriter();
    ChannelInfoFileWriter(const ChannelInfoFileWriter&) = delete;
    ChannelInfoFileWriter& operator=(const ChannelInfoFileWriter&) = delete;

    void submit(const std::filesystem::path& folder, const ChannelInfo& info);
    // Returns when nothing waits and no write is under way (tests, shutdown).
    void flush();
    // Files actually written and writes that failed, for tests and diagnostics.
    unsigned writes() const;
    unsigned failures() const;

private:
    struct Request {
        std::filesystem::path folder;
        ChannelInfo info;
        bool operator==(const Request&) const = default;
    };
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;       // a request or the stop
    std::condition_variable m_idle;       // nothing waits and nothing is being written
    std::optional<Request> m_waiting;     // guarded by m_mutex
    std::optional<Request> m_lastWritten; // writer thread only
    bool m_busy = false;                  // guarded by m_mutex
    bool m_stop = false;                  // guarded by m_mutex
    unsigned m_writes = 0;                // guarded by m_mutex
    unsigned m_failures = 0;              // guarded by m_mutex
    std::thread m_thread;                 // started last
};

} // namespace kalder
