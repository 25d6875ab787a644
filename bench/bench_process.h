#pragma once

// Child processes of the benchmarks: the simulator, kalder-cli, the desktop client and ffmpeg
// started with their output on a pipe, read back, and their CPU time.
#include <sys/resource.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace kalder::bench {

struct SpawnOptions {
    // Added to this process's environment (replacing variables of the same name).
    std::map<std::string, std::string> environment;
    // Standard input and error on /dev/null, and standard output too when it is not piped.
    bool quiet = false;
    // args[0] looked up in PATH rather than taken as a path.
    bool searchPath = false;
};

// Starts `args`; with `output`, its standard output on a pipe whose reading end `*output`
// receives. The pid, or -1.
pid_t spawnProcess(const std::vector<std::string>& args, int* output,
                   const SpawnOptions& options = {});

// Starts `args` with its standard output on a pipe (`output`); the pid, or -1.
pid_t spawnWithOutput(const std::vector<std::string>& args, int& output);

// One line of `fd` without its newline (up to its end when there is none).
std::string readLine(int fd);

// Everything `fd` gives until its end; `fd` stays open.
std::string readAll(int fd);

// User and system CPU seconds of an ended process.
double cpuOf(const rusage& usage);

struct CliRun {
    bool ok = false; // started and exited with status 0
    std::string report;
    double cpu = 0;
    double wall = 0; // from the start to the end of the process
    long peakRssKb = 0;
};

// Runs `args` to its end, its standard output collected as the report.
CliRun runCli(const std::vector<std::string>& args);

// A number of the last line of `report` that starts with `closing` (`"key":N`); 0 when absent.
double number(const std::string& report, const char* closing, const char* key);

// A text of that line (`"key":"..."`); empty when absent.
std::string text(const std::string& report, const char* closing, const char* key);

} // namespace kalder::bench
