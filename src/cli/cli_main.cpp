// kalder-cli: the command-line front end over the client's headless core (QCoreApplication,
// never QtWidgets).
#include "resources/resource_library.h"
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "files/local_log.h"
#include "session/diagnostics.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace kalder;
using namespace kalder::cli;

namespace {

// Local time minus UTC, in seconds, at start-up.
std::int32_t localTimeZoneOffset() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<std::int32_t>(local.tm_gmtoff);
}

void printUsage(std::FILE* to) {
    std::fputs(usageText().c_str(), to);
    for (const CliCommand& c : cliCommands())
        std::fprintf(to, "  %-7.*s %.*s\n", int(c.name.size()), c.name.data(),
                     int(c.summary.size()), c.summary.data());
    std::fputs("Exit status: 0 success, 2 usage error, 3 cannot connect, 4 refused by the "
               "recorder,\n  5 product family not served, 6 connection lost while working.\n",
               to);
    std::fputs("  7 not enough local disk space.\n", to);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseCliOptions(args, std::getenv("KALDER_PASSWORD"));
    if (!parsed.options) {
        std::fprintf(stderr, "kalder-cli: %s\n", parsed.error.c_str());
        printUsage(stderr);
        return kExitUsage;
    }
    const CliOptions& options = *parsed.options;
    if (options.version) {
        std::puts("kalder-cli " KALDER_VERSION); // the project's version, from CMake
        return kExitOk;
    }
    if (options.help) {
        printUsage(stdout);
        return kExitOk;
    }
    const CliCommand* command = findCliCommand(options.command);
    if (!command) {
        std::fprintf(stderr, "kalder-cli: unknown command '%s'\n", options.command.c_str());
        printUsage(stderr);
        return kExitUsage;
    }

    setUpDiagnostics(options.trace);
    loadResourceLibrary(programFileFolder(QStringLiteral("KalderRes.rcc")));
    LocalLogSettings log;
    log.dataFolder = (QDir::homePath() + QStringLiteral("/H264")).toStdString();
    log.timeZoneOffsetSeconds = localTimeZoneOffset();
    configureLocalLog(log);

    CliOutput output(options.json);
    return command->run(options, output);
}
