// The recorder's device commands: restart, configuration reset, test mail, PTZ and firmware
// upload, with the knobs that make each answer negative.
#include "sim/sim_bytes.h"
#include "sim/device_commands.h"

#include "wire/device_records.h"
#include "wire/message_catalogue.h"
#include "sim/recorder_model.h"

#include <charconv>

namespace kalder::sim {

namespace {

// The recorder's firmware table entry behind each of the client's component slots (the client
// rearranges entries 0, 2, 5, 3, 4 into slots 0, 3, 4, 5, 6).
std::optional<std::size_t> entryOfSlot(std::uint8_t slot) {
    switch (slot) {
    case 0:
        return 0;
    case 3:
        return 2;
    case 4:
        return 5;
    case 5:
        return 3;
    case 6:
        return 4;
    default:
        return std::nullopt;
    }
}

} // namespace

DeviceSim::Knobs DeviceSim::knobs() const {
    std::lock_guard lock(m_mutex);
    return m_knobs;
}

void DeviceSim::setKnobs(const Knobs& knobs) {
    std::lock_guard lock(m_mutex);
    m_knobs = knobs;
}

bool DeviceSim::ptzAvailable(unsigned channel) const {
    std::lock_guard lock(m_mutex);
    return channel < 16 && (m_ptzMask & (1u << channel)) != 0;
}

void DeviceSim::setPtzAvailable(unsigned channel, bool available) {
    if (channel >= 16)
        return;
    std::lock_guard lock(m_mutex);
    if (available)
        m_ptzMask = static_cast<std::uint16_t>(m_ptzMask | (1u << channel));
    else
        m_ptzMask = static_cast<std::uint16_t>(m_ptzMask & ~(1u << channel));
}

void DeviceSim::log(std::string line) {
    std::lock_guard lock(m_mutex);
    m_log.push_back(std::move(line));
    while (m_log.size() > kLogLimit)
        m_log.pop_front();
}

std::vector<std::string> DeviceSim::logLines() const {
    std::lock_guard lock(m_mutex);
    return {m_log.begin(), m_log.end()};
}

void DeviceSim::clearLog() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

void DeviceSim::stageFirmware(std::uint8_t slot, std::uint32_t buildTime) {
    std::lock_guard lock(m_mutex);
    m_staged.emplace_back(slot, buildTime);
}

void DeviceSim::applyStagedFirmware(RecorderModel& model) {
    std::vector<std::pair<std::uint8_t, std::uint32_t>> staged;
    {
        std::lock_guard lock(m_mutex);
        staged.swap(m_staged);
    }
    for (const auto& [slot, time] : staged)
        if (const auto entry = entryOfSlot(slot))
            model.setFirmwareBuildTime(*entry, time);
}

DeviceRequests::DeviceRequests(DeviceSim& device, RecorderModel& model)
    : m_device(device), m_model(model) {}

void DeviceRequests::sendCode(const Replies& replies, std::uint16_t id, std::int32_t code) {
    replies.send(id, bigEndian32(static_cast<std::uint32_t>(code)));
}

bool DeviceRequests::handle(std::size_t account, const MessageHeader& header,
                            std::span<const std::byte> payload, const Replies& replies) {
    const DeviceSim::Knobs knobs = m_device.knobs();
    switch (header.messageId()) {
    case MessageId::REBOOT_REQ:
        if (knobs.rebootNack != 0) {
            m_device.log("reboot nack " + std::to_string(knobs.rebootNack));
            sendCode(replies, MessageId::REBOOT_NACK, knobs.rebootNack);
            return true;
        }
        if (!m_model.hasRight(account, 7)) {
            m_device.log("reboot nack 2 (no restart right)");
            sendCode(replies, MessageId::REBOOT_NACK, 2);
            return true;
        }
        m_device.log("reboot");
        replies.send(MessageId::REBOOT_ACK, {});
        // The restart: components flashed since the last one take effect, and the recorder
        // drops the connection.
        m_device.applyStagedFirmware(m_model);
        replies.close();
        return true;
    case MessageId::DB_INIT_REQ:
        if (knobs.dbInitNack != 0) {
            m_device.log("db-init nack " + std::to_string(knobs.dbInitNack));
            sendCode(replies, MessageId::DB_INIT_NACK, knobs.dbInitNack);
            return true;
        }
        m_device.log("db-init");
        replies.send(MessageId::DB_INIT_ACK, {});
        // The recorder's configuration goes back to its factory contents.
        m_model.configStore().reset(m_model);
        return true;
    case MessageId::SEND_TEST_MAIL_REQ:
        if (payload.size() != kTestMailRequestSize) {
            m_device.log("test-mail bad-size " + std::to_string(payload.size()));
            return true;
        }
        if (knobs.testMailNack != 0) {
            m_device.log("test-mail nack " + std::to_string(knobs.testMailNack));
            sendCode(replies, MessageId::SEND_TEST_MAIL_NACK, knobs.testMailNack);
            return true;
        }
        m_device.log("test-mail " + std::to_string(payload.size()));
        replies.send(MessageId::SEND_TEST_MAIL_ACK, {});
        return true;
    default:
        break;
    }

    if (auto ptz = m_ptz.handle(
            header, payload, [this](unsigned ch) { return m_device.ptzAvailable(ch); },
            [this](unsigned ch) { return m_model.ptzMismatch(ch); })) {
        m_device.log(ptz->logLine);
        if (ptz->channelReply) {
            const std::byte reply[4] = {std::byte{*ptz->channelReply}, {}, {}, {}};
            replies.send(MessageId::PTZ_CHANNEL_ACK, reply);
        }
        return true;
    }

    const FirmwareReceiver::Codes codes{knobs.fwUpdateNack, knobs.fwDataFail, knobs.fwUpdateFail};
    if (auto fw = m_firmware.handle(header, payload, codes)) {
        if (!fw->logLine.empty())
            m_device.log(fw->logLine);
        if (fw->flashed)
            m_device.stageFirmware(fw->flashed->first, fw->flashed->second);
        for (const auto& reply : fw->replies) {
            if (reply.code)
                sendCode(replies, reply.id, *reply.code);
            else
                replies.send(reply.id, {});
        }
        return true;
    }
    return false;
}

std::optional<std::string> runDeviceAdminCommand(DeviceSim& device,
                                                 const std::vector<std::string>& words) {
    if (words.empty())
        return std::nullopt;
    const std::string& cmd = words[0];
    auto code = [&](std::int32_t DeviceSim::Knobs::*field) -> std::string {
        long long value = 0;
        if (words.size() != 2 || !wholeNumber(words[1], value) || value < 0 || value > 0x7FFFFFFF)
            return "error usage: " + cmd + " CODE (0: answer positively)";
        DeviceSim::Knobs knobs = device.knobs();
        knobs.*field = static_cast<std::int32_t>(value);
        device.setKnobs(knobs);
        return "ok";
    };
    if (cmd == "reboot-nack")
        return code(&DeviceSim::Knobs::rebootNack);
    if (cmd == "db-init-nack")
        return code(&DeviceSim::Knobs::dbInitNack);
    if (cmd == "test-mail-nack")
        return code(&DeviceSim::Knobs::testMailNack);
    if (cmd == "fw-update-nack")
        return code(&DeviceSim::Knobs::fwUpdateNack);
    if (cmd == "fw-data-fail")
        return code(&DeviceSim::Knobs::fwDataFail);
    if (cmd == "fw-update-fail")
        return code(&DeviceSim::Knobs::fwUpdateFail);
    if (cmd == "ptz-camera") {
        long long channel = 0;
        if (words.size() != 3 || !wholeNumber(words[1], channel) || channel < 1 || channel > 16 ||
            (words[2] != "0" && words[2] != "1"))
            return "error usage: ptz-camera CH 0/1";
        device.setPtzAvailable(static_cast<unsigned>(channel - 1), words[2] == "1");
        return "ok";
    }
    if (cmd == "device-log") {
        // One line per command, joined by '|' so that the reply stays one line.
        const auto lines = device.logLines();
        std::string reply = "ok " + std::to_string(lines.size());
        for (const auto& line : lines)
            reply += "|" + line;
        return reply;
    }
    if (cmd == "device-log-clear") {
        device.clearLog();
        return "ok";
    }
    return std::nullopt;
}

} // namespace kalder::sim
