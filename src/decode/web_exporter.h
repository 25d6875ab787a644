#pragma once

#include "decode/decode_host.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kalder {

// What the web export writes, taken from the local settings.
struct WebExportSettings {
    bool active = false;          // WebActivate == 1
    std::filesystem::path folder; // WebLocation; nothing is written while it is empty
    int interval = 5;             // images per 10 s; out of 1-20 counts as 1
    int width = 200;              // WebWidthJpg
    int height = 160;             // WebHeightJpg
    int labelFontHeight = 11;     // see webLabelFontHeight
};

// The label's font height: WebWidthJpg / WebWidthWeb × 18, truncated (11 for 200 and 320).
int webLabelFontHeight(std::uint32_t widthJpg, std::uint32_t widthWeb);
// The exported pictures' size is kept within 16 .. 2048 on each side.
WebExportSettings makeWebExportSettings(bool active, std::string folder, std::uint32_t interval,
                                        std::uint32_t widthJpg, std::uint32_t heightJpg,
                                        std::uint32_t widthWeb);

// One channel's web export: the decode thread hands over a copy of its picture, the exporter's
// thread scales and labels it and writes "<folder>/<channel + 1>.jpg" whole (temporary file and
// rename). A picture is taken only when the previous one has been written.
class WebExporter {
public:
    WebExporter(unsigned channel, WebExportSettings settings);
    ~WebExporter(); // stops the thread
    WebExporter(const WebExporter&) = delete;
    WebExporter& operator=(const WebExporter&) = delete;

    // Decode thread, the channel's picture lock held: copies the picture unless an export is
    // still pending (then false).
    bool submit(const PictureView& picture);
    void setSettings(WebExportSettings settings);

    // Any thread.
    std::uint64_t written() const { return m_written.load(); }
    std::uint64_t failed() const { return m_failed.load(); }
    std::string lastError() const;

private:
    void run();

    const unsigned m_channel;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_pending = false;        // guarded by m_mutex
    bool m_stop = false;           // guarded by m_mutex
    std::vector<std::byte> m_copy; // guarded by m_mutex while m_pending is false
    PictureView m_picture;         // over m_copy, guarded like it
    WebExportSettings m_settings;  // guarded by m_mutex
    std::string m_lastError;       // guarded by m_mutex
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<std::uint64_t> m_failed{0};
    std::thread m_thread; // started last
};

// The web export of all channels: the settings, and each channel's exporter, created with the
// channel's first export and closed when its decode thread ends.
//
// Threads: setSettings on the front end's thread; the rest on decode threads.
class WebExportBoard {
public:
    WebExportBoard() = default;
    ~WebExportBoard();
    WebExportBoard(const WebExportBoard&) = delete;
    WebExportBoard& operator=(const WebExportBoard&) = delete;

    void setSettings(WebExportSettings settings);
    // The interval setting while the export is active and its folder set.
    std::optional<int> interval() const;
    // A picture of the channel is due.
    void exportPicture(const PictureView& picture);
    // The channel's decode thread ends: its exporter is stopped.
    void channelEnded(unsigned channel);
    // Pictures written so far by the exporters that still exist.
    std::uint64_t written(unsigned channel) const;

private:
    mutable std::mutex m_mutex;
    WebExportSettings m_settings;                             // guarded by m_mutex
    std::array<std::unique_ptr<WebExporter>, 16> m_exporters; // guarded by m_mutex
};

} // namespace kalder
