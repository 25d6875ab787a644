#include "files/channel_info_file.h"

#include "files/data_file.h"

#include <span>
#include <system_error>

namespace kalder {

std::string encodeChannelInfo(const ChannelInfo& info) {
    return std::to_string(info.mask) + "\r\n" + std::to_string(info.width) + "\r\n" +
           std::to_string(info.height) + "\r\n" + std::to_string(info.interval) + "\r\n";
}

ChannelInfoFileWriter::ChannelInfoFileWriter() : m_thread([this] { run(); }) {}

ChannelInfoFileWriter::~ChannelInfoFileWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ChannelInfoFileWriter::submit(const std::filesystem::path& folder, const ChannelInfo& info) {
    {
        std::lock_guard lock(m_mutex);
        m_waiting = Request{folder, info};
    }
    m_wake.notify_one();
}

void ChannelInfoFileWriter::flush() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_waiting && !m_busy; });
}

unsigned ChannelInfoFileWriter::writes() const {
    std::lock_guard lock(m_mutex);
    return m_writes;
}

unsigned ChannelInfoFileWriter::failures() const {
    std::lock_guard lock(m_mutex);
    return m_failures;
}

// Writer thread. A stop still writes the request that waits, so the last mask is not lost.
void ChannelInfoFileWriter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_waiting; });
        if (!m_waiting) {
            m_idle.notify_all();
            return; // stopped with nothing left
        }
        Request request = std::move(*m_waiting);
        m_waiting.reset();
        if (request == m_lastWritten) {
            m_idle.notify_all();
            continue;
        }
        m_busy = true;
        lock.unlock();
        const std::string text = encodeChannelInfo(request.info);
        // The operator chose the folder: it is written into, never created.
        std::error_code ec;
        const bool ok = std::filesystem::is_directory(request.folder, ec) &&
                        replaceDataFile(request.folder / "chinfo.bin",
                                        std::as_bytes(std::span(text.data(), text.size())));
        lock.lock();
        m_busy = false;
        if (ok) {
            ++m_writes;
            m_lastWritten = std::move(request);
        } else {
            ++m_failures;
            m_lastWritten.reset(); // try again with the next request, even an equal one
        }
        m_idle.notify_all();
    }
}

} // namespace kalder
