#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

enum class ExportFormat { Mp4, Mkv };

// "mp4" or "mkv".
const char* exportExtension(ExportFormat format);

// Who the recorder was and who exported, for the manifest. Empty fields are written as null:
// an export from sets on a disc knows nothing of the recorder's greeting.
struct ExportIdentity {
    std::string productNumber;   // "4"
    std::string productVersion;  // "M.m"
    std::string protocolVersion; // "M.m"
    std::string subProduct;      // "M.m"
    std::string mac;             // "XX:XX:XX:XX:XX:XX"
    std::string user;
};

// One export: the period [from, to] (whole RecorderTime seconds, both included) of the chosen
// channels of the sets in `setsFolder`, one file per channel into `outFolder`.
struct ExportRequest {
    std::filesystem::path setsFolder;
    std::filesystem::path outFolder;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint16_t channelMask = 0xFFFF; // bit n: channel n + 1
    ExportFormat format = ExportFormat::Mp4;
    ExportIdentity identity;
    // Draw the recorder time and the channel's title into every picture, which re-encodes the
    // video; otherwise the recorder's H.264 is copied untouched.
    bool burnIn = false;
};

// A stretch of a channel's recording that is not in its file, and why. Channel 0 when the
// damaged frame did not say whose it was (every channel then waits for its next key frame).
struct ExportGap {
    unsigned channel = 0; // 1-16, 0 unknown
    std::uint32_t from = 0, to = 0;
    std::string reason;
};

struct ExportedFile {
    unsigned channel = 0; // 1-16
    std::string name;     // in the out folder
    std::string title;
    std::uint64_t frames = 0;
    std::uint32_t first = 0, last = 0; // recorder time of the first and last frame
    std::uint64_t size = 0;
    std::string sha256; // lower-case hexadecimal
};

struct ExportProgress {
    std::uint64_t done = 0;  // frame headers walked
    std::uint64_t total = 0; // frame headers in the period
};

struct ExportResult {
    enum class End { Done, Stopped, Failed };
    End end = End::Done;
    std::string error;     // Failed: what went wrong, for the operator
    bool diskFull = false; // Failed because the out folder's disk is full
    std::vector<ExportedFile> files;
    std::vector<ExportGap> leftOut;
    std::filesystem::path manifest; // empty when no manifest was written
};

// "<YYYYMMDD_hhmmss>_chNN.<ext>" for the period's start.
std::string exportFileName(std::uint32_t from, unsigned channel, ExportFormat format);

} // namespace kalder
