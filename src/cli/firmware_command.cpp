// firmware: the upgrade window's folder scan against the recorder's components; with --yes
// every candidate is uploaded in row order (FW_UPDATE_REQ, FW_DATA chunks, the replies).
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include "session/firmware_scan.h"
#include "wire/recorder_time.h"

#include <algorithm>
#include <ctime>

namespace kalder::cli {

namespace {

// Between the last FW_DATA and FW_UPDATE_DONE the recorder writes its flash; the desktop waits
// for that without a limit, the command-line client for at least ten minutes.
constexpr int kFlashLimitMs = 600000;

class Firmware : public CliSession {
public:
    Firmware(const CliOptions& options, CliOutput& output, std::string dir, bool upload)
        : CliSession(options, output), m_dir(std::move(dir)), m_upload(upload) {}

protected:
    void onLoggedIn() override {
        const HelloRecord hello = session().hello();
        if (hello.account != 0) {
            session().notify({15, 0}); // upgrades are for account 0 only; the base ends the run
            return;
        }
        const FirmwareScanResult scan =
            scanUpgradeFolder(m_dir, hello, standardTimeZoneOffsetSeconds(std::time(nullptr)));
        for (int row = 0; row < static_cast<int>(kUpgradeRows); ++row) {
            const UpgradeCandidate& c = scan.rows[static_cast<std::size_t>(row)];
            if (!c.selected)
                continue;
            if (output().json())
                output().line("{\"event\":\"firmware_candidate\",\"row\":" + std::to_string(row) +
                              ",\"slot\":" + std::to_string(c.componentType) +
                              ",\"name\":" + jsonString(textOf(c.componentName)) +
                              ",\"build_time\":" + std::to_string(c.buildTime) +
                              ",\"path\":" + jsonString(c.path) + "}");
            else
                output().line("firmware row " + std::to_string(row) + " slot " +
                              std::to_string(c.componentType) + " " + textOf(c.componentName) +
                              " " + formatRecorderTime(c.buildTime) + " " + c.path);
        }
        if (!m_upload || !scan.anySelected()) {
            finish(kExitOk);
            return;
        }
        session().firmware().setCandidates(scan);
        next();
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        FirmwareUpgrade& upgrade = session().firmware();
        const auto code = static_cast<std::int32_t>(message.wParam());
        switch (message.message()) {
        case WindowMessage::FirmwareUpdateAck:
            upgrade.startUpload();
            // The upload runs at the socket's pace; the recorder answers the whole file.
            awaitReply("FW_DATA_RX_DONE or FW_DATA_RX_FAIL, the answer to the FW_DATA upload");
            return;
        case WindowMessage::FirmwareDataRxDone:
            awaitReply("FW_UPDATE_DONE or FW_UPDATE_FAIL, the end of flashing",
                       std::max(kFlashLimitMs, replyLimitMs()));
            return;
        case WindowMessage::FirmwareUpdateNack:
            result("refused", code);
            return;
        case WindowMessage::FirmwareDataRxFail:
        case WindowMessage::FirmwareUpdateFail:
            result("failed", code);
            return;
        case WindowMessage::FirmwareUpdateDone:
            result("done", 0);
            return;
        default:
            return;
        }
    }

private:
    // The name as text: a boot image's name is its first 15 bytes, which may hold zeros.
    static std::string textOf(const std::string& name) { return name.substr(0, name.find('\0')); }

    void result(const char* outcome, std::int32_t code) {
        FirmwareUpgrade& upgrade = session().firmware();
        upgrade.stopUpload();
        const int row = upgrade.currentRow();
        if (std::string_view(outcome) != "done")
            m_allDone = false;
        if (output().json())
            output().line("{\"event\":\"firmware_result\",\"row\":" + std::to_string(row) +
                          ",\"result\":\"" + outcome + "\",\"code\":" + std::to_string(code) + "}");
        else
            output().line("firmware row " + std::to_string(row) + " " + outcome + " " +
                          std::to_string(code));
        next();
    }

    void next() {
        if (session().firmware().requestNext() < 0) {
            finish(m_allDone ? kExitOk : kExitRefused);
            return;
        }
        awaitReply("FW_UPDATE_ACK or FW_UPDATE_NACK, the answer to FW_UPDATE_REQ");
    }

    const std::string m_dir;
    const bool m_upload;
    bool m_allDone = true;
};

} // namespace

int runFirmware(const CliOptions& options, CliOutput& output) {
    std::string dir;
    bool upload = false;
    const auto& args = options.commandArgs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            dir = args[++i];
        } else if (args[i] == "--yes") {
            upload = true;
        } else {
            output.error("firmware: unexpected argument '" + args[i] + "'");
            return kExitUsage;
        }
    }
    if (dir.empty()) {
        output.error("firmware wants --dir DIR");
        return kExitUsage;
    }
    Firmware firmware(options, output, dir, upload);
    return firmware.run();
}

} // namespace kalder::cli
