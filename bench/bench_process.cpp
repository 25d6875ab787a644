#include "bench_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace kalder::bench {

pid_t spawnProcess(const std::vector<std::string>& args, int* output, const SpawnOptions& options) {
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (options.environment.count(name) == 0)
            variables.push_back(entry);
    }
    for (const auto& [name, value] : options.environment)
        variables.push_back(name + "=" + value);
    std::vector<std::string> copies = args;
    std::vector<char*> argv, envp;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    if (output != nullptr && ::pipe(pipeEnds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.quiet)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    } else if (options.quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    if (options.quiet)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = options.searchPath
                       ? posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data())
                       : posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (output != nullptr) {
        ::close(pipeEnds[1]);
        if (rc != 0)
            ::close(pipeEnds[0]);
        else
            *output = pipeEnds[0];
    }
    return rc == 0 ? pid : -1;
}

pid_t spawnWithOutput(const std::vector<std::string>& args, int& output) {
    return spawnProcess(args, &output);
}

std::string readLine(int fd) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

std::string readAll(int fd) {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<std::size_t>(n));
    return all;
}

double cpuOf(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

CliRun runCli(const std::vector<std::string>& args) {
    using Clock = std::chrono::steady_clock;
    CliRun run;
    int output = -1;
    const auto start = Clock::now();
    const pid_t pid = spawnWithOutput(args, output);
    if (pid < 0)
        return run;
    run.report = readAll(output);
    ::close(output);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = cpuOf(usage);
    run.peakRssKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

double number(const std::string& report, const char* closing, const char* key) {
    const std::size_t line = report.rfind(closing);
    if (line == std::string::npos)
        return 0;
    const std::size_t at = report.find(std::string("\"") + key + "\":", line);
    return at == std::string::npos ? 0 : std::atof(report.c_str() + at + std::strlen(key) + 3);
}

std::string text(const std::string& report, const char* closing, const char* key) {
    const std::size_t line = report.rfind(closing);
    if (line == std::string::npos)
        return {};
    const std::size_t at = report.find(std::string("\"") + key + "\":\"", line);
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + std::strlen(key) + 4;
    return report.substr(begin, report.find('"', begin) - begin);
}

} // namespace kalder::bench
