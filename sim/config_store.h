#pragma once

#include "wire/config_record.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

namespace kalder::sim {

class RecorderModel;
struct SimConfig;

// A factory record of `length` bytes in record version `version`, with plausible contents for
// every field; titles, covert flags, accounts and live-view rights come from `config`.
std::vector<std::byte> buildFactoryRecord(const SimConfig& config, RecordVersion version,
                                          std::size_t length);

// The recorder's configuration record. The fields the model owns (titles, covert flags,
// accounts, rights, live-view table) are laid over the stored bytes when the record is sent,
// and taken into the model when an update arrives; every other byte is kept as the last update
// left it. Guarded by its own mutex; called from any connection thread and the admin thread.
class ConfigStore {
public:
    explicit ConfigStore(const SimConfig& config);

    // DB_INFO_ACK's transfer payload: CRC + record (a wrong CRC while the knob is set).
    std::vector<std::byte> transferPayload(const RecorderModel& model) const;

    // DB_UPDATE_REQ: 0 when accepted and applied, else the DB_UPDATE_NACK code. A payload whose
    // length is not the record's transfer length, or whose CRC does not match, is refused with
    // 1 and changes nothing. `answer` runs with the code before the model changes, so that the
    // asking client gets its answer ahead of the pushes every client gets.
    std::int32_t applyUpdate(std::span<const std::byte> payload, RecorderModel& model,
                             const std::function<void(std::int32_t)>& answer);

    // DB_INIT_REQ: the factory record again, and the model's titles and accounts as at start.
    void reset(RecorderModel& model);

    // Knobs.
    void setBadCrc(bool bad);
    void setUpdateNack(std::int32_t code); // 0: accept updates
    std::size_t updatesApplied() const;

private:
    void applyToModel(const ConfigRecord& record, RecorderModel& model) const;

    const std::vector<std::byte> m_factory;
    mutable std::mutex m_mutex; // guards the fields below
    std::vector<std::byte> m_record;
    bool m_badCrc = false;
    std::int32_t m_updateNack = 0;
    std::size_t m_updatesApplied = 0;
};

} // namespace kalder::sim
