#include "cli/cli_command.h"

namespace kalder::cli {

namespace {

const CliCommand kCommands[] = {
    {"probe", &runProbe,
     "connect, log in, print the recorder's description, disconnect in the normal order"},
    {"live", &runLive,
     "[--seconds S] [--channels LIST] [--snapshot-dir DIR]: decode live video, report per channel"},
    {"record", &runRecord, "on|off: switch recording (off: --password answers the prompt)"},
    {"time", &runTime, "read the recorder's clock"},
    {"ptz", &runPtz,
     "--channel C [--mode pan|zoom] (--move up|down|left|right [--ms N] | --preset "
     "set|call|tour --number N)"},
    {"firmware", &runFirmware, "--dir DIR [--yes]: newer firmware images; --yes uploads them"},
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
