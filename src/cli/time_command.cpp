// time: the recorder's clock (DVR_TIME_REQ).
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include "wire/recorder_time.h"

namespace kalder::cli {

namespace {

class Time : public CliSession {
public:
    using CliSession::CliSession;

protected:
    void onLoggedIn() override {
        session().device().requestRecorderTime();
        awaitReply("DVR_TIME_ACK, the answer to DVR_TIME_REQ");
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() != WindowMessage::RecorderTimeToTimePage)
            return;
        const std::string time = formatRecorderTime(static_cast<std::uint32_t>(message.wParam()));
        output().line(output().json()
                          ? "{\"event\":\"recorder_time\",\"time\":" + jsonString(time) + "}"
                          : "recorder time " + time);
        finish(kExitOk);
    }
};

} // namespace

int runTime(const CliOptions& options, CliOutput& output) {
    if (!options.commandArgs.empty()) {
        output.error("time takes no arguments");
        return kExitUsage;
    }
    Time time(options, output);
    return time.run();
}

} // namespace kalder::cli
