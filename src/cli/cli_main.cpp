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
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

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

// export --burn-in paints text into pictures, which needs the font database of a
// QGuiApplication. No window opens: the offscreen platform serves wherever the command runs.
bool paintsText(int argc, char** argv) {
    bool exportCommand = false, burnIn = false;
    for (int i = 1; i < argc; ++i) {
        exportCommand = exportCommand || std::strcmp(argv[i], "export") == 0;
        burnIn = burnIn || std::strcmp(argv[i], "--burn-in") == 0;
    }
    return exportCommand && burnIn;
}

} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
    if (paintsText(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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
