#include "cli/cli_command.h"

namespace kalder::cli {

namespace {

const CliCommand kCommands[] = {
    {"probe", &runProbe,
     "connect, log in, print the recorder's description, disconnect in the normal order"},
    {"live", &runLive,
     "[--seconds S] [--channels LIST] [--snapshot-dir DIR]: decode live video, report per channel"},
    {"search", &runSearch,
     "years | day --date YYYY-MM-DD: the recorded days of each year, or the periods of a day"},
    {"events", &runEvents, "the recorder's event list (alarm, motion, audio)"},
    {"status", &runStatus, "the recorder's status information, one row per line"},
    {"sysinfo", &runSysinfo, "the recorder's system information, one row per line"},
    {"snapshot", &runSnapshot,
     "--dir DIR [--channels LIST] [--format jpg|bmp|tif]: save each channel's next live picture"},
};

} // namespace

std::span<const CliCommand> cliCommands() {
    return kCommands;
}

const CliCommand* findCliCommand(std::string_view name) {
    for (const CliCommand& c : kCommands)
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace kalder::cli
