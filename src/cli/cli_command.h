#pragma once

#include "cli/cli_options.h"
#include "cli/cli_output.h"

#include <span>
#include <string_view>

namespace kalder::cli {

// One command of kalder-cli: runs with the parsed options on the QCoreApplication's thread and
// returns the exit status.
struct CliCommand {
    std::string_view name;
    int (*run)(const CliOptions& options, CliOutput& output);
    std::string_view summary; // one line for the usage text
};

// The command table (cli_commands.cpp): adding a command is one file and one line there.
std::span<const CliCommand> cliCommands();
const CliCommand* findCliCommand(std::string_view name);

int runProbe(const CliOptions& options, CliOutput& output);
int runLive(const CliOptions& options, CliOutput& output);
int runSearch(const CliOptions& options, CliOutput& output);
int runEvents(const CliOptions& options, CliOutput& output);
int runListen(const CliOptions& options, CliOutput& output);
int runTalk(const CliOptions& options, CliOutput& output);
int runRecord(const CliOptions& options, CliOutput& output);
int runTime(const CliOptions& options, CliOutput& output);
int runPtz(const CliOptions& options, CliOutput& output);
int runFirmware(const CliOptions& options, CliOutput& output);
int runConfig(const CliOptions& options, CliOutput& output);
int runLogs(const CliOptions& options, CliOutput& output);
int runPlay(const CliOptions& options, CliOutput& output);
int runStatus(const CliOptions& options, CliOutput& output);
int runSysinfo(const CliOptions& options, CliOutput& output);
int runSnapshot(const CliOptions& options, CliOutput& output);
int runBackup(const CliOptions& options, CliOutput& output);
int runLocal(const CliOptions& options, CliOutput& output);
int runExportCommand(const CliOptions& options, CliOutput& output);

} // namespace kalder::cli
