// probe: connect, log in, print the recorder's description, disconnect in the normal order.
#include "cli/cli_command.h"
#include "cli/cli_session.h"

namespace kalder::cli {

namespace {

class Probe : public CliSession {
public:
    using CliSession::CliSession;

protected:
    void onLoggedIn() override {
        output().hello(session().hello());
        finish(kExitOk);
    }
};

} // namespace

int runProbe(const CliOptions& options, CliOutput& output) {
    if (!options.commandArgs.empty()) {
        output.error("probe takes no arguments");
        return kExitUsage;
    }
    Probe probe(options, output);
    return probe.run();
}

} // namespace kalder::cli
