#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalder::cli {

// Exit statuses of kalder-cli; other tools depend on them.
enum ExitStatus : int {
    kExitOk = 0,
    kExitUsage = 2,
    kExitCannotConnect = 3, // refused, timed out, unreachable, name not resolved
    kExitRefused = 4,       // the recorder's farewell, or the login right withdrawn
    kExitNotServed = 5,     // product family not served
    kExitConnectionLost = 6,
    kExitDiskSpace = 7, // not enough local disk space (backup)
    kExitIntegrity = 8, // data failed its integrity check (a reply too large to hold, a bad CRC)
};

struct CliOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 2000;
    std::string user = "admin";
    std::string password; // --password, else $KALDER_PASSWORD, else empty
    bool json = false;
    bool trace = false; // --trace: the protocol trace on standard error
    bool help = false;
    bool version = false; // --version: print the version, run no command
    std::string command;
    std::vector<std::string> commandArgs;
};

struct ParseResult {
    std::optional<CliOptions> options;
    std::string error; // set when options is empty
};

// Global options come before the command; everything after the command belongs to it.
// `passwordFromEnvironment` is the value of KALDER_PASSWORD (null when unset).
ParseResult parseCliOptions(const std::vector<std::string>& args,
                            const char* passwordFromEnvironment);

std::string usageText();

// The commands' shared arguments. A channel list is "all" (nothing: every channel of the
// recorder) or a comma list of channels 1-16. A time is "YYYY-MM-DD hh:mm:ss" or "YYYY-MM-DD",
// encoded as the search window encodes what the operator enters.
bool parseChannelList(const std::string& text, std::optional<std::uint16_t>& out);
bool parseOperatorTime(const std::string& text, std::uint32_t& out);

} // namespace kalder::cli
