#pragma once

#include "sim/status_info_config.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::sim {

inline constexpr std::size_t kMaxChannels = 16;
inline constexpr std::size_t kAccountCount = 8;
inline constexpr std::size_t kFirmwareCount = 20;
inline constexpr std::uint16_t kDefaultPort = 2000;

// Picture size of a channel; the value is the resolution code the recorder puts in its frames.
enum class Resolution : std::uint8_t { Cif = 0, D1 = 1, HalfD1 = 5 };

struct ChannelSettings {
    Resolution resolution = Resolution::D1;
    unsigned framesPerSecond = 0; // 0: the standard's full rate (30 NTSC, 25 PAL)
    unsigned bitrateKbps = 2000;
    std::string title;
    bool covert = false;
    bool videoLoss = false;
};

// One account of the recorder. `rights` holds the eight yes/no rights in record order (stop
// recording, remote setup, search, backup, PTZ, covert view, login, restart); `level` is the
// access level (0: cannot log in).
struct AccountSettings {
    std::string name;
    std::string password;
    std::uint8_t level = 0;
    std::array<bool, 8> rights{};
    // Which channels the account may watch live (bit n: channel n+1).
    std::uint16_t liveViewMask = 0xFFFF;
};

struct FirmwareEntry {
    std::string name;
    std::uint32_t buildTime = 0; // seconds since 1970
};

// Everything the simulator can be told, from the command line or an INI file. Plain data; the
// recorder model takes a copy at start-up.
struct SimConfig {
    // Network.
    std::string bindAddress = "0.0.0.0";
    std::uint16_t port = kDefaultPort;
    std::optional<std::uint16_t> adminPort; // 127.0.0.1 only; 0 picks a free port
    std::optional<std::uint16_t> timePort;  // RFC 868 time server on the bind address; 0: free
    unsigned idleTimeoutSeconds = 60;       // 0: never drop a silent client
    unsigned maxFragmentBytes = 65535;      // LIVE_DATA payload bytes per message
    bool aliveReply = true;                 // answer the client's keep-alive with id 511

    // Identity.
    std::uint8_t productNumber = 4;
    std::uint8_t protocolMajor = 1, protocolMinor = 2;
    std::uint8_t productMajor = 1, productMinor = 2;
    std::uint8_t frontVersion = 1;
    std::uint8_t subProductMajor = 0, subProductMinor = 0;
    std::uint8_t flags = 0;
    std::array<std::uint8_t, 6> mac{0x00, 0x1C, 0x4B, 0x10, 0x20, 0x30};
    std::array<FirmwareEntry, kFirmwareCount> firmware;

    // Video and audio.
    unsigned channelCount = 16;
    bool pal = false;
    std::array<ChannelSettings, kMaxChannels> channels;
    unsigned audioChannel = 1; // 1-16; 0: no audio
    unsigned keyIntervalSeconds = 1;
    unsigned loopSeconds = 2;
    std::string cacheDir; // empty: $XDG_CACHE_HOME/kalder-sim or ~/.cache/kalder-sim
    std::string encoderPreset = "ultrafast";

    // Accounts.
    std::array<AccountSettings, kAccountCount> accounts;
    std::int32_t loginFailReason = 2; // BYE48 reason for a wrong id or password
    std::int32_t noLoginRightReason = 37;

    // Recorder state at start.
    bool recording = true;
    // The configuration record: its format version and its length in bytes (without the CRC).
    std::uint8_t recordMajor = 5, recordMinor = 0;
    std::size_t recordLength = 8176;
    std::string archivePassword = "0000";
    std::int64_t clockOffsetSeconds = 0; // added to the local wall clock

    // The recorded disk: whole days ending today (0: empty), the seed of its layout, and the
    // RecorderTime of its last second (0: the recorder clock at start-up). Disk replies travel in
    // fragments of at most searchFragmentBytes.
    unsigned diskDays = 30;
    std::uint64_t diskSeed = 1;
    std::uint32_t diskEnd = 0;
    unsigned searchFragmentBytes = 500;

    // The recorder's log (LOG_INFO_REQ).
    unsigned logRecords = 3000;
    unsigned logRecordSize = 200;        // 184 or 200; other sizes are announced as they are
    unsigned logFragmentBytes = 65535;   // LOG_INFO_ACK payload bytes per message
    std::int32_t logRefusal = 0;         // non-zero: LOG_INFO_NACK with this reason
    std::uint32_t logKinds = 0x1F;       // kind bits the log holds (the kind-less entries stay)

    // Faults armed from the start.
    std::optional<std::int32_t> byeAfterLogin; // BYE48 with this reason after the pushes
    bool verbose = false;
    // --trace: verbose, and every message in and out ("kalder.net" lines) on standard error.
    bool trace = false;
    bool exitWithParent = false; // end when the starting process ends (test harnesses)

    // The answer to STATUS_INFO_REQ ([status] section).
    StatusInfoConfig statusInfo;
};

// The defaults of a bare start: 16 NTSC D1 channels, ADMIN/1234 with every right, USER/1111.
SimConfig defaultConfig();

// Sets one setting by its INI name: `section` is "recorder", "channelN" (1-16), "accountN"
// (0-7) or "firmwareN" (0-19). Returns an error text, or nothing on success.
std::optional<std::string> applySetting(SimConfig& config, std::string_view section,
                                        std::string_view key, std::string_view value);

// Reads an INI file ("[section]", "key = value", ';' or '#' comments) into `config`.
std::optional<std::string> loadIniFile(SimConfig& config, const std::string& path);

// Parses the command line (argv[0] excluded) on top of `config`. `--help` sets `showHelp`.
std::optional<std::string> parseCommandLine(SimConfig& config, const std::vector<std::string>& args,
                                            bool& showHelp);

std::string usageText();

// The cache folder actually used: the configured one, else $XDG_CACHE_HOME/kalder-sim, else
// $HOME/.cache/kalder-sim.
std::string effectiveCacheDir(const SimConfig& config);

// Picture size of a resolution under a standard.
struct FrameSize {
    unsigned width = 0;
    unsigned height = 0;
};
FrameSize frameSizeFor(Resolution resolution, bool pal);

std::string_view rightName(std::size_t index);

// Frames per second of a channel: its own rate, else the standard's full rate.
unsigned framesPerSecondOf(const SimConfig& config, unsigned channel);

} // namespace kalder::sim
