#include "cli/cli_command.h"

namespace kalder::cli {

namespace {

const CliCommand kCommands[] = {
    {"probe", &runProbe,
     "connect, log in, print the recorder's description, disconnect in the normal order"},
    {"live", &runLive,
     "[--seconds S] [--channels LIST] [--snapshot-dir DIR]: decode live video, report per channel"},
    {"play", &runPlay,
     "--from T [--to T] [--channels LIST] [--kind N] [--seconds S] [--snapshot-dir DIR]: "
     "play back the recorder's disk"},
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
