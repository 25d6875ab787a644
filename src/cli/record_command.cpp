// record on | record off: switch the recorder's recording as the record button does. Off asks
// for the stop-recording right and compares --password with the session's password, as the
// button's password prompt does.
#include "cli/cli_command.h"
#include "cli/cli_session.h"

namespace kalder::cli {

namespace {

class Record : public CliSession {
public:
    Record(const CliOptions& options, CliOutput& output, bool on)
        : CliSession(options, output), m_on(on) {}

protected:
    void onLoggedIn() override {
        // The command acts on the rights and the recording state the recorder sends after the
        // login: the refusals name them and report the state that holds.
        afterLoginRecords(kRights | kRecordingState, [this] { ask(); });
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        switch (message.message()) {
        case WindowMessage::RecordReply:
            report(message.wParam() != 0);
            finish(kExitOk);
            return;
        default:
            return;
        }
    }

    void onNotification(Notification n) override {
        // REC_ON_NACK / REC_OFF_NACK: the recorder refused; its state stays as it was.
        if (m_asked && n.category == 5) {
            report(session().status().recordingOn());
            finish(kExitRefused);
        }
    }

private:
    void ask() {
        m_asked = true;
        if (m_on) {
            session().device().requestRecordOn();
            awaitReply("REC_ON_ACK or REC_ON_NACK, the answer to REC_ON_REQ");
            return;
        }
        switch (session().device().answerRecordOffPrompt(options().password)) {
        case RecordOffAnswer::Sent:
            awaitReply("REC_OFF_ACK or REC_OFF_NACK, the answer to REC_OFF_REQ");
            return;
        case RecordOffAnswer::WrongPassword:
            output().error("record off: the password does not match");
            report(session().status().recordingOn());
            finish(kExitRefused);
            return;
        case RecordOffAnswer::RightLost:   // (15,0) posted: the base ends the run
        case RecordOffAnswer::NotLoggedIn: // the connection's end is reported by the base
            return;
        }
    }

    void report(bool recording) {
        output().line(output().json() ? std::string("{\"event\":\"recording\",\"on\":") +
                                            (recording ? "true" : "false") + "}"
                                      : std::string("recording ") + (recording ? "on" : "off"));
    }

    const bool m_on;
    bool m_asked = false;
};

} // namespace

int runRecord(const CliOptions& options, CliOutput& output) {
    if (options.commandArgs.size() != 1 ||
        (options.commandArgs[0] != "on" && options.commandArgs[0] != "off")) {
        output.error("record wants \"on\" or \"off\"");
        return kExitUsage;
    }
    Record record(options, output, options.commandArgs[0] == "on");
    return record.run();
}

} // namespace kalder::cli
