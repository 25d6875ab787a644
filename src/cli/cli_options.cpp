#include "cli/cli_options.h"

#include "wire/recorder_time.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>

namespace kalder::cli {

namespace {

bool parsePort(const std::string& text, std::uint16_t& port) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

ParseResult failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

} // namespace

ParseResult parseCliOptions(const std::vector<std::string>& args,
                            const char* passwordFromEnvironment) {
    CliOptions options;
    bool passwordGiven = false;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        std::string name = args[i];
        if (name.rfind("--", 0) != 0)
            break; // the command
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--json" || name == "--help" || name == "--trace" || name == "--version") {
            if (inlineValue)
                return failure(name + " takes no value");
            (name == "--json"    ? options.json
             : name == "--help"  ? options.help
             : name == "--trace" ? options.trace
                                 : options.version) = true;
            continue;
        }
        if (name != "--host" && name != "--port" && name != "--user" && name != "--password")
            return failure("unknown option '" + args[i] + "'");
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= args.size())
                return failure(name + " needs a value");
            value = args[++i];
        }
        if (name == "--host") {
            if (value.empty())
                return failure("--host needs an address");
            options.host = value;
        } else if (name == "--port") {
            if (!parsePort(value, options.port))
                return failure("--port needs a number from 1 to 65535, got '" + value + "'");
        } else if (name == "--user") {
            options.user = value;
        } else {
            options.password = value;
            passwordGiven = true;
        }
    }
    if (!passwordGiven && passwordFromEnvironment)
        options.password = passwordFromEnvironment;
    if (options.help || options.version)
        return {options, {}};
    if (i >= args.size())
        return failure("no command given");
    options.command = args[i];
    options.commandArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return {options, {}};
}

std::string usageText() {
    return "Usage: kalder-cli [--host ADDR] [--port N] [--user ID] [--password PW] [--json] "
           "[--trace] COMMAND ...\n"
           "       kalder-cli --version\n"
           "  defaults: host 127.0.0.1, port 2000, user \"admin\", password from --password or\n"
           "  the environment variable KALDER_PASSWORD, else empty\n"
           "  --trace writes the protocol trace to standard error\n"
           "Commands:\n";
}

bool parseChannelList(const std::string& text, std::optional<std::uint16_t>& out) {
    if (text == "all") {
        out.reset();
        return true;
    }
    std::uint16_t mask = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        char* rest = nullptr;
        const long channel = std::strtol(item.c_str(), &rest, 10);
        if (item.empty() || *rest != '\0' || channel < 1 || channel > 16)
            return false;
        mask = static_cast<std::uint16_t>(mask | (1u << (channel - 1)));
        start = end + 1;
    }
    out = mask;
    return mask != 0;
}

bool parseOperatorTime(const std::string& text, std::uint32_t& out) {
    const auto civil = parseCivilTime(text);
    if (!civil)
        return false;
    const auto encoded =
        encodeOperatorTime(*civil, standardTimeZoneOffsetSeconds(std::time(nullptr)));
    if (!encoded)
        return false;
    out = *encoded;
    return true;
}

} // namespace kalder::cli
