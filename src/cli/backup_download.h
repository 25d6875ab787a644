#pragma once

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "wire/hello_record.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace kalder::cli {

// What `backup` downloads: a period of channels, by recording kind, into a folder of sets.
struct BackupDownloadArgs {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::optional<std::uint16_t> mask; // default: every channel of the recorder
    std::uint8_t kind = 0x3F;
    std::filesystem::path dir;
};

// Connects, logs in and downloads the period as `backup` does (its lines, its SIGINT, its exit
// statuses). `hello`, when given, receives the recorder's greeting once logged in; `stopped`
// is set when SIGINT ended the transfer.
int downloadBackup(const CliOptions& options, CliOutput& output, const BackupDownloadArgs& args,
                   HelloRecord* hello = nullptr, bool* stopped = nullptr);

} // namespace kalder::cli
