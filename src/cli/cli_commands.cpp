#include "cli/cli_command.h"

namespace kalder::cli {

namespace {

const CliCommand kCommands[] = {
    {"probe", &runProbe,
     "connect, log in, print the recorder's description, disconnect in the normal order"},
    {"live", &runLive,
     "[--seconds S] [--channels LIST] [--snapshot-dir DIR] [--reconnect] [--recorder HOST:PORT "
     "... | --site NAME]: decode live video, "
     "report per channel"},
    {"search", &runSearch,
     "years | day --date YYYY-MM-DD: the recorded days of each year, or the periods of a day"},
    {"events", &runEvents, "the recorder's event list (alarm, motion, audio)"},
    {"listen", &runListen,
     "[--channel C] [--seconds S] [--wav FILE]: play a channel's live audio, report what played"},
    {"talk", &runTalk, "--wav FILE [--seconds S]: send 8 kHz mono 16-bit sound to the recorder"},
    {"record", &runRecord, "on|off: switch recording (off: --password answers the prompt)"},
    {"time", &runTime, "read the recorder's clock"},
    {"ptz", &runPtz,
     "--channel C [--mode pan|zoom] (--move up|down|left|right [--ms N] | --preset "
     "set|call|tour --number N)"},
    {"firmware", &runFirmware, "--dir DIR [--yes]: newer firmware images; --yes uploads them"},
    {"config", &runConfig,
     "get --out FILE | put FILE | show FILE|--recorder: the recorder's configuration record"},
    {"logs", &runLogs,
     "[--kind all|power|record|operation|client|event|archive]: the recorder's log, newest first"},
    {"play", &runPlay,
     "--from T [--to T] [--channels LIST] [--kind N] [--seconds S] [--snapshot-dir DIR]: "
     "play back the recorder's disk"},
    {"status", &runStatus, "the recorder's status information, one row per line"},
    {"sysinfo", &runSysinfo, "the recorder's system information, one row per line"},
    {"snapshot", &runSnapshot,
     "--dir DIR [--channels LIST] [--format jpg|bmp|tif]: save each channel's next live picture"},
    {"backup", &runBackup,
     "--from T --to T [--channels LIST] [--kind N] [--dir DIR]: download a period into backup "
     "sets"},
    {"local", &runLocal,
     "list [--dir DIR] | play --from T [--to T] [--dir DIR] [--seconds S] [--speed N] "
     "[--snapshot-dir DIR]: downloaded backup sets"},
    {"export", &runExportCommand,
     "--from T --to T [--channels LIST] [--format mp4|mkv] [--burn-in] [--out DIR] (--dir SETS "
     "| --recorder) | verify DIR: standard files of a period (--burn-in: the time and title "
     "drawn into the pictures), and their manifest checked"},
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
