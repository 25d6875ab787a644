#pragma once

#include "wire/message_header.h"
#include "sim/firmware_receiver.h"
#include "sim/ptz_device.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder::sim {

class RecorderModel;

// The recorder's device side as every connection shares it: the fault knobs of the one-shot
// commands, PTZ and firmware upload, which channels have a PTZ camera, the firmware waiting for
// the next restart, and a bounded log of every device command received (read by tests through
// the admin port). Guarded by its own mutex; called from connection and admin threads.
class DeviceSim {
public:
    // Reply codes armed by the admin port; 0 answers positively.
    struct Knobs {
        std::int32_t rebootNack = 0;
        std::int32_t dbInitNack = 0;
        std::int32_t testMailNack = 0;
        std::int32_t fwUpdateNack = 0; // FW_UPDATE_NACK instead of FW_UPDATE_ACK
        std::int32_t fwDataFail = 0;   // FW_DATA_RX_FAIL instead of FW_DATA_RX_DONE
        std::int32_t fwUpdateFail = 0; // FW_UPDATE_FAIL instead of FW_UPDATE_DONE
    };

    Knobs knobs() const;
    void setKnobs(const Knobs& knobs);

    // Channels with a PTZ camera (bit n: channel n). All of them at start.
    bool ptzAvailable(unsigned channel) const;
    void setPtzAvailable(unsigned channel, bool available);

    // Log lines of the device commands, oldest first; at most kLogLimit are kept.
    static constexpr std::size_t kLogLimit = 1000;
    void log(std::string line);
    std::vector<std::string> logLines() const;
    void clearLog();

    // A component uploaded and flashed: its build time takes effect at the next restart.
    void stageFirmware(std::uint8_t slot, std::uint32_t buildTime);
    // The restart: every staged component enters the model's firmware table.
    void applyStagedFirmware(RecorderModel& model);

private:
    mutable std::mutex m_mutex;
    Knobs m_knobs;
    std::uint16_t m_ptzMask = 0xFFFF;
    std::deque<std::string> m_log;
    std::vector<std::pair<std::uint8_t, std::uint32_t>> m_staged;
};

// One connection's side of the device commands: recording is answered by the connection itself;
// restart, configuration reset, test mail, PTZ and firmware upload here.
class DeviceRequests {
public:
    struct Replies {
        std::function<void(std::uint16_t id, std::span<const std::byte> payload)> send;
        std::function<void()> close; // the recorder closes the connection (restart)
    };

    DeviceRequests(DeviceSim& device, RecorderModel& model);

    // Receive thread of the connection. True when the message was a device request (answered
    // or deliberately ignored); false leaves it to the caller.
    bool handle(std::size_t account, const MessageHeader& header,
                std::span<const std::byte> payload, const Replies& replies);

private:
    void sendCode(const Replies& replies, std::uint16_t id, std::int32_t code);

    DeviceSim& m_device;
    RecorderModel& m_model;
    PtzDevice m_ptz;
    FirmwareReceiver m_firmware;
};

// Admin commands of the device side (see README); nothing when `words` is not one of them.
std::optional<std::string> runDeviceAdminCommand(DeviceSim& device,
                                                 const std::vector<std::string>& words);

} // namespace kalder::sim
