// config get|put|show: the recorder's configuration record fetched into a file, a file sent
// back with a fresh CRC, and every field of a record by name and value.
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include "files/data_file.h"
#include "session/setup_exchange.h"
#include "wire/config_record.h"
#include "wire/message_header.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalder::cli {

namespace {

// Nothing a recorder sends back fits in more than one update message.
constexpr std::size_t kMaxTransfer = kMaxPayloadLength;

std::string versionText(std::span<const std::byte> payload) {
    if (payload.size() < kConfigCrcSize + 2)
        return "0.0";
    return std::to_string(std::to_integer<unsigned>(payload[4])) + "." +
           std::to_string(std::to_integer<unsigned>(payload[5]));
}

// How many whole elements of `field` a record of `length` bytes holds: all of them, none, or,
// for a record that ends inside the field, the ones before its end.
std::size_t heldElements(const ConfigField& field, std::size_t length) {
    if (field.offset >= length || field.width == 0)
        return 0;
    return std::min<std::size_t>(field.count, (length - field.offset) / field.width);
}

// Every element of every field the record holds, one line each. A short record lacks the
// fields past its end; a field it ends inside shows the elements before that end.
void printFields(const ConfigRecord& record, CliOutput& output) {
    for (const ConfigField& f : configFields()) {
        const std::size_t held = heldElements(f, record.recordLength());
        for (std::size_t i = 0; i < held; ++i) {
            const bool text = f.kind == FieldClass::Text;
            const std::string value =
                text ? jsonString(record.text(f, i)) : std::to_string(record.value(f, i));
            if (output.json())
                output.line("{\"event\":\"config_field\",\"name\":" + jsonString(f.name) +
                            ",\"index\":" + std::to_string(i) + ",\"value\":" + value + "}");
            else
                output.line(std::string(f.name) + "[" + std::to_string(i) + "] = " + value);
        }
    }
}

class ConfigFetch : public CliSession {
public:
    // `out`: the file that receives the payload; none: print the fields instead.
    ConfigFetch(const CliOptions& options, CliOutput& output, std::optional<std::string> out)
        : CliSession(options, output), m_out(std::move(out)) {}

protected:
    void onLoggedIn() override {
        if (!session().setup().RequestConfig())
            finish(kExitConnectionLost);
        else
            awaitReply("DB_INFO_ACK with the whole record, the answer to DB_INFO_REQ");
    }
    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() != WindowMessage::ConfigExchangeEnded)
            return;
        const auto how = static_cast<ConfigExchangeEnd>(message.wParam());
        if (how == ConfigExchangeEnd::FetchRefused) {
            finish(kExitRefused);
            return;
        }
        if (how != ConfigExchangeEnd::Arrived && how != ConfigExchangeEnd::IntegrityFailed)
            return;
        const std::vector<std::byte> payload = session().setup().receivedPayload();
        const bool ok = how == ConfigExchangeEnd::Arrived;
        // A transfer that failed its check is not saved: a later `config put` would seal the
        // damaged bytes with a good CRC.
        // A bare file name has no folder part: make it absolute, so the folder is the working one.
        std::error_code error;
        if (ok && m_out && !replaceDataFile(std::filesystem::absolute(*m_out, error), payload)) {
            output().error("cannot write " + *m_out);
            finish(kExitUsage);
            return;
        }
        if (m_out || !output().json() || !ok) {
            if (output().json())
                output().line("{\"event\":\"config\",\"bytes\":" + std::to_string(payload.size()) +
                              ",\"crc_ok\":" + (ok ? "true" : "false") +
                              ",\"record_version\":" + jsonString(versionText(payload)) + "}");
            else
                output().line("config: " + std::to_string(payload.size()) + " bytes, CRC " +
                              (ok ? "ok" : "mismatch") + ", record version " +
                              versionText(payload));
        }
        if (ok && !m_out)
            if (const auto record = session().setup().receivedRecord())
                printFields(*record, output());
        finish(ok ? kExitOk : kExitIntegrity);
    }

private:
    std::optional<std::string> m_out;
};

class ConfigPut : public CliSession {
public:
    ConfigPut(const CliOptions& options, CliOutput& output, std::vector<std::byte> payload)
        : CliSession(options, output), m_payload(std::move(payload)) {}

protected:
    void onLoggedIn() override {
        if (!session().setup().sendUpdatePayload(m_payload))
            finish(kExitConnectionLost);
        else
            awaitReply("DB_UPDATE_ACK or DB_UPDATE_NACK, the answer to DB_UPDATE_REQ");
    }
    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() != WindowMessage::ConfigExchangeEnded)
            return;
        const auto how = static_cast<ConfigExchangeEnd>(message.wParam());
        if (how == ConfigExchangeEnd::UpdateAccepted)
            finish(kExitOk);
        else if (how == ConfigExchangeEnd::UpdateRefused)
            finish(kExitRefused);
    }

private:
    std::vector<std::byte> m_payload;
};

std::optional<std::vector<std::byte>> readTransferFile(const std::string& path, CliOutput& out) {
    auto bytes = readDataFile(path, kMaxTransfer + 1);
    if (!bytes) {
        out.error("cannot read " + path);
        return std::nullopt;
    }
    if (bytes->size() < kConfigCrcSize || bytes->size() > kMaxTransfer) {
        out.error(path + ": a configuration file holds 4 to " + std::to_string(kMaxTransfer) +
                  " bytes (CRC and record)");
        return std::nullopt;
    }
    return bytes;
}

int runGet(const CliOptions& options, CliOutput& output, const std::vector<std::string>& args) {
    if (args.size() != 3 || args[1] != "--out" || args[2].empty()) {
        output.error("usage: config get --out FILE");
        return kExitUsage;
    }
    ConfigFetch fetch(options, output, args[2]);
    return fetch.run();
}

int runPut(const CliOptions& options, CliOutput& output, const std::vector<std::string>& args) {
    if (args.size() != 2) {
        output.error("usage: config put FILE");
        return kExitUsage;
    }
    auto file = readTransferFile(args[1], output);
    if (!file)
        return kExitUsage;
    // The file's record with a freshly computed CRC, at the file's length.
    std::vector<std::byte> payload =
        sealConfigTransfer(std::span<const std::byte>(*file).subspan(kConfigCrcSize), file->size());
    ConfigPut put(options, output, std::move(payload));
    return put.run();
}

int runShow(const CliOptions& options, CliOutput& output, const std::vector<std::string>& args) {
    if (args.size() != 2) {
        output.error("usage: config show FILE | config show --recorder");
        return kExitUsage;
    }
    if (args[1] == "--recorder") {
        ConfigFetch fetch(options, output, std::nullopt);
        return fetch.run();
    }
    auto file = readTransferFile(args[1], output);
    if (!file)
        return kExitUsage;
    const std::span<const std::byte> bytes(*file);
    printFields(ConfigRecord::fromRecordBytes(bytes.subspan(kConfigCrcSize)), output);
    if (!verifyConfigTransfer(bytes)) {
        output.error(args[1] + ": the CRC does not match the record");
        return kExitIntegrity;
    }
    return kExitOk;
}

} // namespace

int runConfig(const CliOptions& options, CliOutput& output) {
    const std::vector<std::string>& args = options.commandArgs;
    const std::string sub = args.empty() ? std::string() : args[0];
    if (sub == "get")
        return runGet(options, output, args);
    if (sub == "put")
        return runPut(options, output, args);
    if (sub == "show")
        return runShow(options, output, args);
    output.error("usage: config get --out FILE | config put FILE | config show FILE|--recorder");
    return kExitUsage;
}

} // namespace kalder::cli
