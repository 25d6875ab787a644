#include "sim/sim_config.h"

namespace kalder::sim {

std::optional<std::string> parseCommandLine(SimConfig& config, const std::vector<std::string>& args,
                                            bool& showHelp) {
    showHelp = false;
    // Options that name a recorder key directly: --port 0 is [recorder] port = 0.
    struct Alias {
        std::string_view option;
        std::string_view key;
    };
    static constexpr Alias kAliases[] = {
        {"--port", "port"},
        {"--admin-port", "admin_port"},
        {"--time-port", "time_port"},
        {"--bind", "bind"},
        {"--idle-timeout", "idle_timeout_s"},
        {"--max-fragment", "max_fragment"},
        {"--alive-reply", "alive_reply"},
        {"--product-number", "product_number"},
        {"--protocol-version", "protocol_version"},
        {"--product-version", "product_version"},
        {"--front-version", "front_version"},
        {"--sub-product", "sub_product"},
        {"--flags", "flags"},
        {"--mac", "mac"},
        {"--channels", "channels"},
        {"--standard", "standard"},
        {"--resolution", "resolution"},
        {"--fps", "fps"},
        {"--bitrate-kbps", "bitrate_kbps"},
        {"--audio-channel", "audio_channel"},
        {"--key-interval", "key_interval_s"},
        {"--loop-seconds", "loop_seconds"},
        {"--cache-dir", "cache_dir"},
        {"--encoder-preset", "encoder_preset"},
        {"--login-fail-reason", "login_fail_reason"},
        {"--recording", "recording"},
        {"--record-version", "record_version"},
        {"--record-length", "record_length"},
        {"--clock-offset", "clock_offset_s"},
        {"--bye-after-login", "bye_after_login"},
        {"--disk-days", "disk_days"},
        {"--disk-seed", "disk_seed"},
        {"--disk-end", "disk_end"},
        {"--search-fragment", "search_fragment"},
    };
    // The INI file is read first, wherever --config stands, so that every other option wins.
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--config" || arg.substr(0, 9) == "--config=") {
            std::string path;
            if (arg == "--config") {
                if (i + 1 >= args.size())
                    return std::string("--config needs a file");
                path = args[++i];
            } else {
                path = std::string(arg.substr(9));
            }
            if (auto error = loadIniFile(config, path))
                return error;
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string name(arg);
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('=');
            arg.substr(0, 2) == "--" && eq != std::string_view::npos) {
            name = std::string(arg.substr(0, eq));
            inlineValue = std::string(arg.substr(eq + 1));
        }
        auto takeValue = [&](std::string& out) -> bool {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string value;
        if (name == "--help" || name == "-h") {
            showHelp = true;
            continue;
        }
        if (name == "--exit-with-parent") {
            config.exitWithParent = true;
            continue;
        }
        if (name == "--verbose" || name == "-v") {
            config.verbose = true;
            continue;
        }
        if (name == "--trace") {
            config.verbose = true;
            config.trace = true;
            continue;
        }
        if (name == "--pal" || name == "--ntsc") {
            config.pal = name == "--pal";
            continue;
        }
        if (name == "--config") {
            if (!takeValue(value))
                return std::string("--config needs a file");
            continue; // already read
        }
        bool matched = false;
        for (const Alias& alias : kAliases) {
            if (name == alias.option) {
                if (!takeValue(value))
                    return name + " needs a value";
                if (auto error = applySetting(config, "recorder", alias.key, value))
                    return error;
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        if (name == "--set") {
            // --set section.key=value (section defaults to recorder).
            if (!takeValue(value))
                return std::string("--set needs section.key=value");
            const auto eq = value.find('=');
            if (eq == std::string::npos)
                return "--set needs section.key=value, got '" + value + "'";
            const std::string path = value.substr(0, eq);
            const auto dot = path.find('.');
            const std::string section = dot == std::string::npos ? "recorder" : path.substr(0, dot);
            const std::string key = dot == std::string::npos ? path : path.substr(dot + 1);
            if (auto error = applySetting(config, section, key, value.substr(eq + 1)))
                return error;
            continue;
        }
        if (name == "--title") {
            // --title N=TEXT
            if (!takeValue(value))
                return std::string("--title needs N=TEXT");
            const auto eq = value.find('=');
            if (eq == std::string::npos)
                return "--title needs N=TEXT, got '" + value + "'";
            if (auto error = applySetting(config, "channel" + value.substr(0, eq), "title",
                                          value.substr(eq + 1)))
                return error;
            continue;
        }
        if (name == "--account") {
            // --account N=NAME:PASSWORD[:LEVEL[:RIGHTS]]
            if (!takeValue(value))
                return std::string("--account needs N=NAME:PASSWORD[:LEVEL[:RIGHTS]]");
            const auto eq = value.find('=');
            if (eq == std::string::npos)
                return "--account needs N=NAME:PASSWORD[:LEVEL[:RIGHTS]], got '" + value + "'";
            const std::string section = "account" + value.substr(0, eq);
            std::vector<std::string> parts;
            std::string rest = value.substr(eq + 1);
            for (int field = 0; field < 3; ++field) {
                const auto colon = rest.find(':');
                if (colon == std::string::npos)
                    break;
                parts.push_back(rest.substr(0, colon));
                rest = rest.substr(colon + 1);
            }
            parts.push_back(rest);
            static constexpr std::string_view kFields[] = {"name", "password", "level", "rights"};
            if (parts.size() < 2)
                return "--account needs N=NAME:PASSWORD[:LEVEL[:RIGHTS]], got '" + value + "'";
            for (std::size_t f = 0; f < parts.size(); ++f)
                if (auto error = applySetting(config, section, kFields[f], parts[f]))
                    return error;
            if (parts.size() < 3)
                if (auto error = applySetting(config, section, "level", "1"))
                    return error;
            continue;
        }
        return "unknown option '" + std::string(arg) + "' (try --help)";
    }
    return std::nullopt;
}

std::string usageText() {
    return R"(kalder-recorder-sim: a recorder stand-in for tests, benchmarks and demos.

Usage: kalder-recorder-sim [options]

  --config FILE            INI file ([recorder], [channelN], [accountN], [firmwareN]); read
                           first, every other option overrides it
  --port N                 TCP port (default 2000; 0 picks a free one and prints it first)
  --admin-port N           admin command port on 127.0.0.1 (0 picks one; printed as "admin N")
  --time-port N            RFC 868 time server on the bind address (0 picks one; "time N")
  --bind ADDR              listen address (default 0.0.0.0)
  --channels 4|8|16        channel count (default 16)
  --standard ntsc|pal      video standard (also --ntsc, --pal)
  --resolution d1|halfd1|cif, --fps N (default 30 NTSC, 25 PAL), --bitrate-kbps N
                           for every channel
  --title N=TEXT           title of channel N (1-16)
  --account N=NAME:PASSWORD[:LEVEL[:RIGHTS]]   account N (0-7); RIGHTS "all", "none" or a
                           comma list of stop_recording,setup,search,backup,ptz,covert_view,
                           login,restart
  --audio-channel N        channel whose audio rides in the frames (0: none; default 1)
  --product-number N, --protocol-version A.B, --product-version A.B, --front-version N,
  --sub-product A.B, --flags N, --mac AA:BB:CC:DD:EE:FF   the recorder's identity
  --idle-timeout S         drop a client silent for S seconds (default 60; 0: never)
  --max-fragment N         LIVE_DATA payload bytes per message (default 65535)
  --alive-reply 0|1        answer each keep-alive with the recorder's own (default 1)
  --key-interval S         seconds between key frames (default 1)
  --loop-seconds S         length of the encoded loop (default 2)
  --cache-dir DIR          encoded loops cache (default $XDG_CACHE_HOME/kalder-sim)
  --encoder-preset NAME    x264 preset (default ultrafast)
  --login-fail-reason N    BYE48 reason for a wrong id or password (default 2)
  --recording 0|1          recording state at start (default 1)
  --clock-offset S         seconds added to the recorder clock
  --record-version A.B     configuration record format version (default 5.0; 4.2 .. 5.0)
  --record-length N        configuration record length in bytes (default 8176)
  --bye-after-login N      fault: send BYE48 with reason N after the status pushes, then close
  --disk-days N            days of recordings on the disk, ending today (default 30; 0 empty)
  --disk-seed N            the disk's layout (default 1)
  --disk-end T             RecorderTime of the disk's last second (default: the clock at start)
  --search-fragment N      payload bytes per disk-reply fragment (default 500)
  --set SECTION.KEY=VALUE  any INI setting, for example --set channel3.video_loss=1
  --verbose                log connections and requests to standard error
  --trace                  --verbose, and every message in and out
  --exit-with-parent       end when the process that started it has ended
  --help                   this text
  --version                the simulator's version
)";
}

} // namespace kalder::sim
