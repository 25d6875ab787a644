#include "sim/sim_config.h"

#include <charconv>
#include <cstdlib>
#include <fstream>

namespace kalder::sim {

namespace {

constexpr std::array<std::string_view, 8> kRightNames = {
    "stop_recording", "setup", "search", "backup", "ptz", "covert_view", "login", "restart"};

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

template <typename T> bool parseNumber(std::string_view text, T& out, int base = 10) {
    text = trim(text);
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    else if (base == 10 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseNumber(text, out, 16);
    T value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return false;
    out = value;
    return true;
}

template <typename T>
bool parseRange(std::string_view text, T& out, long long low, long long high) {
    long long value = 0;
    if (!parseNumber(text, value) || value < low || value > high)
        return false;
    out = static_cast<T>(value);
    return true;
}

bool parseBool(std::string_view text, bool& out) {
    const std::string v = lower(trim(text));
    if (v == "1" || v == "yes" || v == "true" || v == "on") {
        out = true;
        return true;
    }
    if (v == "0" || v == "no" || v == "false" || v == "off") {
        out = false;
        return true;
    }
    return false;
}

// "1.2" → major 1, minor 2.
bool parseVersion(std::string_view text, std::uint8_t& major, std::uint8_t& minor) {
    text = trim(text);
    const auto dot = text.find('.');
    if (dot == std::string_view::npos)
        return parseRange(text, major, 0, 255) && (minor = 0, true);
    std::uint8_t a = 0, b = 0;
    if (!parseRange(text.substr(0, dot), a, 0, 255) || !parseRange(text.substr(dot + 1), b, 0, 255))
        return false;
    major = a;
    minor = b;
    return true;
}

bool parseResolution(std::string_view text, Resolution& out) {
    const std::string v = lower(trim(text));
    if (v == "d1")
        out = Resolution::D1;
    else if (v == "halfd1" || v == "half-d1" || v == "half_d1" || v == "hd1")
        out = Resolution::HalfD1;
    else if (v == "cif")
        out = Resolution::Cif;
    else
        return false;
    return true;
}

bool parseMac(std::string_view text, std::array<std::uint8_t, 6>& out) {
    std::array<std::uint8_t, 6> mac{};
    text = trim(text);
    for (std::size_t i = 0; i < 6; ++i) {
        if (text.size() < 2)
            return false;
        unsigned byte = 0;
        if (!parseNumber(text.substr(0, 2), byte, 16))
            return false;
        mac[i] = static_cast<std::uint8_t>(byte);
        text.remove_prefix(2);
        if (i < 5) {
            if (text.empty() || (text.front() != ':' && text.front() != '-'))
                return false;
            text.remove_prefix(1);
        }
    }
    if (!text.empty())
        return false;
    out = mac;
    return true;
}

// "all", "none" or a comma list of right names.
bool parseRights(std::string_view text, std::array<bool, 8>& out) {
    const std::string v = lower(trim(text));
    std::array<bool, 8> rights{};
    if (v == "all") {
        rights.fill(true);
    } else if (v != "none" && !v.empty()) {
        std::string_view rest = v;
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            const std::string_view name = trim(rest.substr(0, comma));
            bool found = false;
            for (std::size_t i = 0; i < kRightNames.size(); ++i)
                if (name == kRightNames[i]) {
                    rights[i] = true;
                    found = true;
                }
            if (!found)
                return false;
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        }
    }
    out = rights;
    return true;
}

// "1-4,7" or "all"/"none" → channel mask.
bool parseChannelMask(std::string_view text, std::uint16_t& out) {
    const std::string v = lower(trim(text));
    if (v == "all") {
        out = 0xFFFF;
        return true;
    }
    if (v == "none" || v.empty()) {
        out = 0;
        return true;
    }
    std::uint16_t mask = 0;
    std::string_view rest = v;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view item = trim(rest.substr(0, comma));
        const auto dash = item.find('-');
        unsigned first = 0, last = 0;
        if (dash == std::string_view::npos) {
            if (!parseRange(item, first, 1, 16))
                return false;
            last = first;
        } else if (!parseRange(item.substr(0, dash), first, 1, 16) ||
                   !parseRange(item.substr(dash + 1), last, 1, 16) || last < first) {
            return false;
        }
        for (unsigned c = first; c <= last; ++c)
            mask = static_cast<std::uint16_t>(mask | (1u << (c - 1)));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    out = mask;
    return true;
}

// A section name with a numeric suffix: "channel3" → 3.
bool sectionIndex(std::string_view section, std::string_view prefix, unsigned& index) {
    if (section.substr(0, prefix.size()) != prefix)
        return false;
    return parseNumber(section.substr(prefix.size()), index);
}

std::optional<std::string> applyChannelSetting(ChannelSettings& channel, const std::string& key,
                                               std::string_view value) {
    bool ok = true;
    if (key == "resolution")
        ok = parseResolution(value, channel.resolution);
    else if (key == "fps")
        ok = parseRange(value, channel.framesPerSecond, 1, 30);
    else if (key == "bitrate_kbps")
        ok = parseRange(value, channel.bitrateKbps, 64, 20000);
    else if (key == "title")
        channel.title = std::string(trim(value)).substr(0, 31);
    else if (key == "covert")
        ok = parseBool(value, channel.covert);
    else if (key == "video_loss")
        ok = parseBool(value, channel.videoLoss);
    else
        return "unknown channel key '" + key + "'";
    if (!ok)
        return "bad value for channel key '" + key + "': '" + std::string(value) + "'";
    return std::nullopt;
}

std::optional<std::string> applyRecorderSetting(SimConfig& c, const std::string& key,
                                                std::string_view value) {
    bool ok = true;
    if (key == "bind")
        c.bindAddress = std::string(trim(value));
    else if (key == "port")
        ok = parseRange(value, c.port, 0, 65535);
    else if (key == "admin_port") {
        std::uint16_t p = 0;
        ok = parseRange(value, p, 0, 65535);
        c.adminPort = p;
    } else if (key == "time_port") {
        std::uint16_t p = 0;
        ok = parseRange(value, p, 0, 65535);
        c.timePort = p;
    } else if (key == "idle_timeout_s")
        ok = parseRange(value, c.idleTimeoutSeconds, 0, 86400);
    else if (key == "alive_reply")
        ok = parseBool(value, c.aliveReply);
    else if (key == "max_fragment")
        ok = parseRange(value, c.maxFragmentBytes, 1, 65535);
    else if (key == "product_number")
        ok = parseRange(value, c.productNumber, 0, 255);
    else if (key == "protocol_version")
        ok = parseVersion(value, c.protocolMajor, c.protocolMinor);
    else if (key == "product_version")
        ok = parseVersion(value, c.productMajor, c.productMinor);
    else if (key == "front_version")
        ok = parseRange(value, c.frontVersion, 0, 255);
    else if (key == "sub_product")
        ok = parseVersion(value, c.subProductMajor, c.subProductMinor);
    else if (key == "flags")
        ok = parseRange(value, c.flags, 0, 255);
    else if (key == "mac")
        ok = parseMac(value, c.mac);
    else if (key == "channels") {
        ok = parseRange(value, c.channelCount, 4, 16) &&
             (c.channelCount == 4 || c.channelCount == 8 || c.channelCount == 16);
    } else if (key == "standard") {
        const std::string v = lower(trim(value));
        ok = v == "ntsc" || v == "pal";
        c.pal = v == "pal";
    } else if (key == "audio_channel")
        ok = parseRange(value, c.audioChannel, 0, 16);
    else if (key == "key_interval_s")
        ok = parseRange(value, c.keyIntervalSeconds, 1, 10);
    else if (key == "loop_seconds")
        ok = parseRange(value, c.loopSeconds, 1, 60);
    else if (key == "cache_dir")
        c.cacheDir = std::string(trim(value));
    else if (key == "encoder_preset")
        c.encoderPreset = std::string(trim(value));
    else if (key == "login_fail_reason")
        ok = parseRange(value, c.loginFailReason, -2147483648LL, 2147483647LL);
    else if (key == "no_login_right_reason")
        ok = parseRange(value, c.noLoginRightReason, -2147483648LL, 2147483647LL);
    else if (key == "recording")
        ok = parseBool(value, c.recording);
    else if (key == "record_version")
        ok = parseVersion(value, c.recordMajor, c.recordMinor);
    else if (key == "record_length")
        ok = parseRange(value, c.recordLength, 16, 60000);
    else if (key == "clock_offset_s")
        ok = parseRange(value, c.clockOffsetSeconds, -4000000000LL, 4000000000LL);
    else if (key == "disk_days")
        ok = parseRange(value, c.diskDays, 0, 3650);
    else if (key == "disk_seed")
        ok = parseRange(value, c.diskSeed, 0, 0x7FFFFFFFFFFFFFFFLL);
    else if (key == "disk_end")
        ok = parseRange(value, c.diskEnd, 0, 4294967295LL);
    else if (key == "search_fragment")
        ok = parseRange(value, c.searchFragmentBytes, 1, 65535);
    else if (key == "log_records")
        ok = parseRange(value, c.logRecords, 0, 20000);
    else if (key == "log_record_size")
        ok = parseRange(value, c.logRecordSize, 8, 400);
    else if (key == "log_fragment")
        ok = parseRange(value, c.logFragmentBytes, 1, 65535);
    else if (key == "log_kinds")
        ok = parseRange(value, c.logKinds, 0, 0x1F);
    else if (key == "log_refusal")
        ok = parseRange(value, c.logRefusal, -2147483648LL, 2147483647LL);
    else if (key == "archive_pass") {
        c.archivePassword = std::string(trim(value));
        ok = c.archivePassword.size() <= 8;
    } else if (key == "bye_after_login") {
        std::int32_t reason = 0;
        ok = parseRange(value, reason, -2147483648LL, 2147483647LL);
        c.byeAfterLogin = reason;
    } else if (key == "verbose")
        ok = parseBool(value, c.verbose);
    // Defaults for every channel at once; a [channelN] section can then change one.
    else if (key == "resolution" || key == "fps" || key == "bitrate_kbps") {
        for (auto& channel : c.channels)
            if (auto error = applyChannelSetting(channel, key, value))
                return error;
    } else
        return "unknown recorder key '" + key + "'";
    if (!ok)
        return "bad value for '" + key + "': '" + std::string(value) + "'";
    return std::nullopt;
}

} // namespace

std::string_view rightName(std::size_t index) {
    return index < kRightNames.size() ? kRightNames[index] : std::string_view{};
}

SimConfig defaultConfig() {
    SimConfig c;
    for (std::size_t i = 0; i < kMaxChannels; ++i)
        c.channels[i].title = "CH" + std::to_string(i + 1);
    AccountSettings& admin = c.accounts[0];
    admin.name = "ADMIN";
    admin.password = "1234";
    admin.level = 1;
    admin.rights.fill(true);
    AccountSettings& user = c.accounts[1];
    user.name = "USER";
    user.password = "1111";
    user.level = 2;
    user.rights = {false, false, true, true, false, true, true, false};
    // Seven component names as a recorder lists them; build times in 2024.
    const std::array<std::string_view, 6> names = {"boot",  "kernel",  "app",
                                                   "front", "ramdisk", "fpga"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        c.firmware[i].name = std::string(names[i]);
        c.firmware[i].buildTime = 1717200000u + static_cast<std::uint32_t>(i) * 86400u;
    }
    return c;
}

std::optional<std::string> applySetting(SimConfig& config, std::string_view sectionText,
                                        std::string_view keyText, std::string_view value) {
    const std::string section = lower(trim(sectionText));
    const std::string key = lower(trim(keyText));
    unsigned index = 0;
    if (section == "recorder" || section.empty())
        return applyRecorderSetting(config, key, value);
    if (section == "status")
        return applyStatusSetting(config.statusInfo, key, value);
    if (sectionIndex(section, "channel", index)) {
        if (index < 1 || index > kMaxChannels)
            return "channel number out of range in [" + section + "]";
        return applyChannelSetting(config.channels[index - 1], key, value);
    }
    if (sectionIndex(section, "account", index)) {
        if (index >= kAccountCount)
            return "account number out of range in [" + section + "]";
        AccountSettings& account = config.accounts[index];
        bool ok = true;
        if (key == "name")
            account.name = std::string(trim(value)).substr(0, 31);
        else if (key == "password")
            account.password = std::string(trim(value)).substr(0, 31);
        else if (key == "level")
            ok = parseRange(value, account.level, 0, 255);
        else if (key == "rights")
            ok = parseRights(value, account.rights);
        else if (key == "live_view")
            ok = parseChannelMask(value, account.liveViewMask);
        else
            return "unknown account key '" + key + "'";
        if (!ok)
            return "bad value for account key '" + key + "': '" + std::string(value) + "'";
        return std::nullopt;
    }
    if (sectionIndex(section, "firmware", index)) {
        if (index >= kFirmwareCount)
            return "firmware number out of range in [" + section + "]";
        if (key == "name")
            config.firmware[index].name = std::string(trim(value)).substr(0, 31);
        else if (key == "build_time") {
            if (!parseRange(value, config.firmware[index].buildTime, 0, 4294967295LL))
                return "bad firmware build_time '" + std::string(value) + "'";
        } else
            return "unknown firmware key '" + key + "'";
        return std::nullopt;
    }
    return "unknown section [" + section + "]";
}

std::optional<std::string> loadIniFile(SimConfig& config, const std::string& path) {
    std::ifstream file(path);
    if (!file)
        return "cannot read " + path;
    std::string line;
    std::string section = "recorder";
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        std::string_view text = trim(line);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[') {
            const auto close = text.find(']');
            if (close == std::string_view::npos)
                return path + ":" + std::to_string(lineNumber) + ": bad section line";
            section = std::string(trim(text.substr(1, close - 1)));
            continue;
        }
        const auto eq = text.find('=');
        if (eq == std::string_view::npos)
            return path + ":" + std::to_string(lineNumber) + ": expected key = value";
        if (auto error = applySetting(config, section, text.substr(0, eq), text.substr(eq + 1)))
            return path + ":" + std::to_string(lineNumber) + ": " + *error;
    }
    return std::nullopt;
}

std::string effectiveCacheDir(const SimConfig& config) {
    if (!config.cacheDir.empty())
        return config.cacheDir;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        return std::string(xdg) + "/kalder-sim";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.cache/kalder-sim";
    return "/tmp/kalder-sim-cache";
}

unsigned framesPerSecondOf(const SimConfig& config, unsigned channel) {
    const unsigned own = channel < kMaxChannels ? config.channels[channel].framesPerSecond : 0;
    if (own)
        return own;
    return config.pal ? 25 : 30;
}

FrameSize frameSizeFor(Resolution resolution, bool pal) {
    switch (resolution) {
    case Resolution::D1:
        return {704, pal ? 576u : 480u};
    case Resolution::HalfD1:
        return {704, pal ? 288u : 240u};
    case Resolution::Cif:
        break;
    }
    return {352, pal ? 288u : 240u};
}

} // namespace kalder::sim
