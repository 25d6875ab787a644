// logs: fetch the recorder's log and print one list of it, newest first, as the list windows
// show it.
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include "resources/resource_library.h"
#include "wire/log_listing.h"

namespace kalder::cli {

namespace {

// The recorder's log reply could not be read (too large, or a record size this client does not
// read): the data failed its check.
constexpr int kExitBadData = 8;

class Logs : public CliSession {
public:
    Logs(const CliOptions& options, CliOutput& output, LogList list)
        : CliSession(options, output), m_list(list) {}

protected:
    void onLoggedIn() override {
        session().logs().request();
        awaitReply("LOG_INFO_ACK or LOG_INFO_NACK, the answer to LOG_INFO_REQ");
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() == WindowMessage::CloseWindow &&
            message.wParam() == std::uintptr_t(CloseTarget::RequestWindow)) {
            // LOG_INFO_NACK: its notification (if the reason has one) was printed already.
            output().error("the recorder refused the log request");
            finish(kExitRefused);
            return;
        }
        if (message.message() != WindowMessage::LogReplyComplete)
            return;
        switch (static_cast<LogReplyResult>(message.wParam())) {
        case LogReplyResult::Decoded:
            printList();
            finish(kExitOk);
            return;
        case LogReplyResult::TooLarge:
            output().error("the recorder's log reply is larger than 2,400,000 bytes");
            break;
        case LogReplyResult::BadSize:
            output().error("the recorder's log records have a size this client does not read");
            break;
        }
        finish(kExitBadData);
    }

private:
    void printList() {
        const std::vector<LogRecord> records = session().logs().records();
        const HelloRecord hello = session().hello();
        LogNaming naming;
        naming.text = [](int id) { return resourceText(id).toStdString(); };
        naming.subProduct34 = hello.sub_product_num_major == 3 || hello.sub_product_num_major == 4;
        const LogViewer viewer{session().featureBit0(), session().status().userIndex()};
        for (std::size_t i : logListIndexes(records, m_list, viewer)) {
            const LogRow row = logRow(records[i], naming);
            if (output().json()) {
                output().line("{\"event\":\"log\",\"seq\":" + jsonString(row.sequence) +
                              ",\"time\":" + jsonString(row.time) +
                              ",\"description\":" + jsonString(row.description) +
                              ",\"source\":" + jsonString(row.source) +
                              ",\"details\":" + jsonString(row.details) + "}");
            } else {
                output().line(row.sequence + "  " + row.time + "  " + row.description + "  " +
                              row.source + "  " + row.details);
            }
        }
    }

    const LogList m_list;
};

} // namespace

int runLogs(const CliOptions& options, CliOutput& output) {
    LogList list = LogList::All;
    const auto& args = options.commandArgs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (name == "--kind" && i + 1 < args.size()) {
            value = args[++i];
        }
        if (name != "--kind") {
            output.error("logs: unknown argument '" + args[i] + "'");
            return kExitUsage;
        }
        const std::optional<LogList> named = logListByName(value);
        if (!named) {
            output.error("logs: --kind needs all, power, record, operation, client, event or "
                         "archive, got '" +
                         value + "'");
            return kExitUsage;
        }
        list = *named;
    }
    Logs logs(options, output, list);
    return logs.run();
}

} // namespace kalder::cli
