// export: a period of downloaded backup sets (or of the recorder, downloaded first) as one
// standard file per channel with the manifest beside them. export verify: every hash of a
// manifest computed again. SIGINT stops an export and removes the unfinished files.
#include "cli/backup_download.h"
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "export/export_job.h"
#include "export/export_manifest.h"
#include "files/local_log.h"
#include "wire/recorder_time.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace kalder::cli {

namespace {

constexpr std::chrono::milliseconds kExportProgressInterval{500};

struct ExportArgs {
    BackupDownloadArgs period;
    bool haveFrom = false, haveTo = false;
    ExportFormat format = ExportFormat::Mp4;
    bool burnIn = false;
    bool fromRecorder = false;
    bool haveDir = false;
    std::filesystem::path out;
};

bool parseExportArgs(const std::vector<std::string>& args, ExportArgs& e, std::string& error) {
    const std::filesystem::path data = localLogSettings().dataFolder;
    e.period.dir = data / "Download";
    e.out = data / "Export";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((arg == "--from" || arg == "--to") && hasValue) {
            const bool from = arg == "--from";
            if (!parseOperatorTime(args[++i], from ? e.period.from : e.period.to)) {
                error = arg + " wants \"YYYY-MM-DD hh:mm:ss\" or \"YYYY-MM-DD\"";
                return false;
            }
            (from ? e.haveFrom : e.haveTo) = true;
        } else if (arg == "--channels" && hasValue) {
            if (!parseChannelList(args[++i], e.period.mask)) {
                error = "--channels wants \"all\" or a comma list of channels 1-16";
                return false;
            }
        } else if (arg == "--format" && hasValue) {
            const std::string& format = args[++i];
            if (format != "mp4" && format != "mkv") {
                error = "--format wants mp4 or mkv";
                return false;
            }
            e.format = format == "mp4" ? ExportFormat::Mp4 : ExportFormat::Mkv;
        } else if (arg == "--burn-in") {
            e.burnIn = true;
        } else if (arg == "--out" && hasValue) {
            e.out = args[++i];
        } else if (arg == "--dir" && hasValue) {
            e.period.dir = args[++i];
            e.haveDir = true;
        } else if (arg == "--recorder") {
            e.fromRecorder = true;
        } else {
            error = "export: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (!e.haveFrom || !e.haveTo) {
        error = "export: --from and --to are required";
        return false;
    }
    if (e.period.to < e.period.from) {
        error = "export: --to lies before --from";
        return false;
    }
    if (e.fromRecorder && e.haveDir) {
        error = "export: --dir or --recorder, not both";
        return false;
    }
    return true;
}

// SIGINT only sets the flag the export reads once per frame.
std::atomic<bool> s_exportStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onExportInterrupt(int) {
    s_exportStop.store(true);
}

const char* exportEndText(ExportResult::End end) {
    switch (end) {
    case ExportResult::End::Done:
        return "done";
    case ExportResult::End::Stopped:
        return "stopped";
    case ExportResult::End::Failed:
        break;
    }
    return "failed";
}

std::string macText(const std::array<std::uint8_t, 6>& mac) {
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::string versionText(unsigned major, unsigned minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

void printExportFile(CliOutput& output, const ExportedFile& f, const std::filesystem::path& out) {
    const std::string path = (out / f.name).string();
    if (output.json())
        output.line("{\"event\":\"export_file\",\"channel\":" + std::to_string(f.channel) +
                    ",\"file\":" + jsonString(path) + ",\"frames\":" + std::to_string(f.frames) +
                    ",\"first\":" + jsonString(formatRecorderTime(f.first)) +
                    ",\"last\":" + jsonString(formatRecorderTime(f.last)) +
                    ",\"sha256\":" + jsonString(f.sha256) + "}");
    else
        output.line("channel " + std::to_string(f.channel) + ": " + path + ", " +
                    std::to_string(f.frames) + " frames, " + formatRecorderTime(f.first) + " to " +
                    formatRecorderTime(f.last) + ", sha256 " + f.sha256);
}

int exportSets(const ExportArgs& args, const std::filesystem::path& sets,
               const ExportIdentity& identity, CliOutput& output) {
    ExportRequest request;
    request.setsFolder = sets;
    request.outFolder = args.out;
    request.from = args.period.from;
    request.to = args.period.to;
    request.channelMask = args.period.mask.value_or(0xFFFF);
    request.format = args.format;
    request.burnIn = args.burnIn;
    request.identity = identity;

    auto last = std::chrono::steady_clock::now();
    bool printed = false;
    int lastPercent = -1;
    const auto progress = [&](const ExportProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        const int percent = p.total ? int(p.done * 100 / p.total) : 100;
        if ((printed && now - last < kExportProgressInterval) || percent == lastPercent)
            return;
        printed = true;
        last = now;
        lastPercent = percent;
        if (output.json())
            output.line("{\"event\":\"export_progress\",\"percent\":" + std::to_string(percent) +
                        "}");
        else
            output.line("export: " + std::to_string(percent) + " %");
    };
    const ExportResult result = runExport(request, s_exportStop, progress);

    for (const ExportGap& gap : result.leftOut)
        output.error(
            "export: left out " +
            (gap.channel ? "of channel " + std::to_string(gap.channel) + " " : std::string()) +
            formatRecorderTime(gap.from) +
            (gap.to != gap.from ? " to " + formatRecorderTime(gap.to) : std::string()) + ": " +
            gap.reason);
    for (const ExportedFile& f : result.files)
        printExportFile(output, f, args.out);
    const std::string manifest = result.manifest.string();
    if (output.json())
        output.line("{\"event\":\"export_done\",\"files\":" + std::to_string(result.files.size()) +
                    ",\"manifest\":" + jsonString(manifest) + ",\"result\":\"" +
                    exportEndText(result.end) + "\"}");
    else
        output.line("export " + std::string(exportEndText(result.end)) + ": " +
                    std::to_string(result.files.size()) + " files" +
                    (manifest.empty() ? std::string() : ", manifest " + manifest));
    if (!result.error.empty())
        output.error("export: " + result.error);
    return result.end == ExportResult::End::Failed ? kExitDiskSpace : kExitOk;
}

int runVerify(const std::vector<std::string>& args, CliOutput& output) {
    if (args.size() != 2) {
        output.error("export verify: one folder, the one that holds export.json");
        return kExitUsage;
    }
    const ManifestVerification v = verifyExportManifest(args[1]);
    if (!v.readable) {
        output.error("export verify: " + v.error);
        return kExitIntegrity;
    }
    for (const ManifestCheck& check : v.files) {
        if (output.json())
            output.line("{\"event\":\"export_verify\",\"file\":" + jsonString(check.file) +
                        ",\"ok\":" + (check.ok ? "true" : "false") + "}");
        else
            output.line(check.file + ": " + (check.ok ? "ok" : check.problem));
        if (!check.ok && output.json())
            output.error("export verify: " + check.file + ": " + check.problem);
    }
    return v.allMatch() ? kExitOk : kExitIntegrity;
}

// Where a download for an export keeps its sets: a private folder inside the out folder,
// removed again afterwards.
std::filesystem::path downloadFolderFor(const std::filesystem::path& out) {
    return out / (".download-" + std::to_string(::getpid()));
}

} // namespace

int runExportCommand(const CliOptions& options, CliOutput& output) {
    const std::vector<std::string>& args = options.commandArgs;
    if (!args.empty() && args[0] == "verify")
        return runVerify(args, output);
    ExportArgs parsed;
    std::string error;
    if (!parseExportArgs(args, parsed, error)) {
        output.error(error);
        return kExitUsage;
    }
    if (!parsed.fromRecorder) {
        s_exportStop = false;
        struct sigaction action {
        }, previous{};
        action.sa_handler = onExportInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous);
        const int status = exportSets(parsed, parsed.period.dir, {}, output);
        ::sigaction(SIGINT, &previous, nullptr);
        return status;
    }

    const std::filesystem::path sets = downloadFolderFor(parsed.out);
    std::error_code ec;
    std::filesystem::remove_all(sets, ec);
    BackupDownloadArgs download = parsed.period;
    download.dir = sets;
    HelloRecord hello;
    bool stopped = false;
    int status = downloadBackup(options, output, download, &hello, &stopped);
    if (status == kExitOk && !stopped) {
        ExportIdentity identity;
        identity.productNumber = std::to_string(hello.product_number);
        identity.productVersion = versionText(hello.product_major_ver, hello.product_minor_ver);
        identity.protocolVersion = versionText(hello.protocol_major_ver, hello.protocol_minor_ver);
        identity.subProduct = versionText(hello.sub_product_num_major, hello.sub_product_num_minor);
        identity.mac = macText(hello.mac);
        identity.user = options.user;
        s_exportStop = false;
        struct sigaction action {
        }, previous{};
        action.sa_handler = onExportInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous);
        status = exportSets(parsed, sets, identity, output);
        ::sigaction(SIGINT, &previous, nullptr);
    }
    std::filesystem::remove_all(sets, ec);
    return status;
}

} // namespace kalder::cli
