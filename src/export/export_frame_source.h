#pragma once

#include "export/export_request.h"
#include "local/backup_set_file.h"
#include "local/local_playlist.h"
#include "wire/frame_info.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// One usable frame of the period, in the sets' order (time order across the channels).
struct ExportFrame {
    unsigned channel = 0;        // 0-15
    std::uint32_t frameTime = 0; // the recording header's time, RecorderTime
    std::int64_t ms = 0;         // the frame time with the block's milliseconds
    bool key = false;
    std::uint32_t segmentKey = 0; // a change starts a new recording
    std::uint16_t width = 0, height = 0;
    std::string title; // the header's channel title, when it carries one
    std::span<const std::byte> video;
    std::optional<std::array<std::byte, kAudioElementBytes>> audio;
};

// Walks the frames of a period through the local player's playlist and frame reader: the
// segments of the downloaded sets that overlap [from, to], from the first frame at or after
// `from` to the last one before to + 1. A frame the reader finds damaged is left out and
// recorded; a header file cut short ends its segment there. Not thread-safe: one export thread.
class ExportFrameSource {
public:
    ExportFrameSource(const std::filesystem::path& setsFolder, std::uint32_t from, std::uint32_t to,
                      const BackupSetSource& source = BackupSetSource::fileSystem());

    // The next usable frame; false when the period has no more. `frame.video` stays valid
    // until the next call.
    bool next(ExportFrame& frame);

    // Frame headers in the period and those walked so far.
    std::uint64_t total() const { return m_total; }
    std::uint64_t done() const { return m_done; }

    // Damaged frames met so far (channel 0: not known whose), in the order met.
    struct Damage {
        unsigned channel = 0; // 1-16, 0 unknown
        std::uint32_t time = 0;
        std::string reason;
    };
    std::vector<Damage> takeDamage();

private:
    bool openEntry();

    const BackupSetSource& m_source;
    std::uint32_t m_from, m_to;
    Playlist m_playlist;
    std::size_t m_entry = 0;
    bool m_opened = false; // m_entry's files are open (or failed to open)
    std::filesystem::path m_openVih;
    std::optional<BackupSetFile> m_vih, m_vid;
    std::uint64_t m_at = 0, m_stop = 0;
    std::vector<std::byte> m_buffer;
    std::uint64_t m_total = 0, m_done = 0;
    std::vector<Damage> m_damage;
};

} // namespace kalder
