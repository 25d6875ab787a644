// status and sysinfo: the rows of the status and system information views.
#include "cli/cli_command.h"
#include "cli/cli_session.h"
#include "resources/resource_library.h"
#include "session/info_exchange.h"
#include "session/info_rows.h"
#include "wire/status_info_record.h"

namespace kalder::cli {

namespace {

std::string text(int id) {
    return resourceText(id).toStdString();
}

void printRow(CliOutput& output, const char* event, const InfoRow& row, bool withName) {
    if (output.json()) {
        std::string line = std::string("{\"event\":\"") + event +
                           "\",\"label\":" + jsonString(row.label) +
                           ",\"value\":" + jsonString(row.value);
        if (withName)
            line += ",\"name\":" + jsonString(row.name);
        output.line(line + "}");
        return;
    }
    std::string line = row.label + "\t" + row.value;
    if (withName && !row.name.empty())
        line += "\t" + row.name;
    output.line(line);
}

class Status : public CliSession {
public:
    using CliSession::CliSession;

protected:
    void onLoggedIn() override {
        session().info().requestStatus();
        awaitReply("STATUS_INFO_ACK or STATUS_INFO_NACK, the answer to STATUS_INFO_REQ");
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() != WindowMessage::StatusInfoReady)
            return;
        const auto outcome = static_cast<int>(message.wParam());
        const auto reply = session().info().takeStatusReply();
        if (outcome == InfoExchange::kReplyRefused) {
            finish(kExitRefused); // its notification has been printed
            return;
        }
        if (outcome != InfoExchange::kReplyReady || !reply) {
            output().error("the status reply is larger than the reply buffer");
            finish(kExitConnectionLost);
            return;
        }
        const StatusInfoRecord record = decodeStatusInfo(*reply);
        for (const InfoRow& row : statusRows(record, session().channelNum(), text))
            printRow(output(), "status_row", row, false);
        finish(kExitOk);
    }
};

class SystemInfo : public CliSession {
public:
    using CliSession::CliSession;

protected:
    void onLoggedIn() override {
        const SystemFacts facts{session().address(), session().port(), session().siteText(),
                                session().hello()};
        for (const InfoRow& row : systemRows(facts, text))
            printRow(output(), "sysinfo_row", row, true);
        finish(kExitOk);
    }
};

} // namespace

int runStatus(const CliOptions& options, CliOutput& output) {
    if (!options.commandArgs.empty()) {
        output.error("status takes no arguments");
        return kExitUsage;
    }
    Status status(options, output);
    return status.run();
}

int runSysinfo(const CliOptions& options, CliOutput& output) {
    if (!options.commandArgs.empty()) {
        output.error("sysinfo takes no arguments");
        return kExitUsage;
    }
    SystemInfo info(options, output);
    return info.run();
}

} // namespace kalder::cli
