#include "setup/model/ptz_setup_page.h"

#include <algorithm>

namespace kalder {

namespace {

constexpr const char* kOffText = "Off";
constexpr unsigned kEntryMinus = 6;
constexpr unsigned kEntryPlus = 7;

SerialRow readRow(const ConfigRecord& record, const SerialFields& fields, std::size_t index) {
    return {record.value(fields.id, index), record.value(fields.protocol, index),
            record.value(fields.baud, index)};
}

} // namespace

PtzSetupState readPtzSetup(const ConfigRecord& record) {
    PtzSetupState state;
    for (std::size_t ch = 0; ch < kPtzChannels; ++ch) {
        state.rows[ch] = readRow(record, kPtzFields, ch);
        for (std::size_t k = 0; k < kPtzLevels; ++k)
            state.levels[k][ch] = record.value(*kPtzLevelFields[k], ch);
    }
    return state;
}

SerialRow readPtzController(const ConfigRecord& record) {
    return readRow(record, kKeyboardFields, 0);
}

std::vector<std::size_t> changedChannels(std::size_t channel,
                                         const std::array<bool, kPtzChannels>& checked,
                                         unsigned channelNum) {
    const std::size_t n = std::min<std::size_t>(channelNum, kPtzChannels);
    if (channel >= n)
        return {};
    if (!checked[channel])
        return {channel};
    std::vector<std::size_t> set;
    for (std::size_t ch = 0; ch < n; ++ch)
        if (checked[ch])
            set.push_back(ch);
    return set;
}

std::vector<std::string> addressEntries() {
    return {kOffText, "1", "2", "3", "4", "5", "-1", "+1"};
}

std::string addressText(unsigned address) {
    return address == 0 ? std::string(kOffText) : std::to_string(address);
}

unsigned addressAfterChoice(unsigned entry, unsigned current) {
    if (entry == kEntryMinus)
        return current < 2 ? 0 : current - 1;
    if (entry == kEntryPlus)
        return std::min(current + 1, kPtzMaxAddress);
    if (entry < kEntryMinus)
        return entry;
    return current;
}

void writeSerialAddress(ConfigRecord& record, const SerialFields& fields,
                        const std::vector<std::size_t>& channels, unsigned address) {
    for (std::size_t ch : channels)
        record.setValue(fields.id, ch, std::min(address, kPtzMaxAddress));
}

std::vector<std::string> serialTypeEntries(const std::vector<SerialDeviceType>& types) {
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < types.size() && i < kSerialListMax; ++i)
        entries.push_back(types[i].name);
    return entries;
}

std::vector<std::string> baudEntries(const std::vector<SerialDeviceType>& types, unsigned type) {
    std::vector<std::string> entries;
    if (type >= types.size() || type >= kSerialListMax)
        return entries;
    for (unsigned b = 0; b < types[type].baudCount && b < kBaudRateCount; ++b)
        entries.emplace_back(kBaudRateTexts[b]);
    return entries;
}

std::string serialTypeText(const std::vector<SerialDeviceType>& types, unsigned type) {
    return type < types.size() && type < kSerialListMax ? types[type].name : std::string("-");
}

std::string baudText(unsigned baud) {
    return baud < kBaudRateCount ? std::string(kBaudRateTexts[baud]) : std::string("-");
}

void chooseSerialType(ConfigRecord& record, const SerialFields& fields,
                      const std::vector<SerialDeviceType>& types,
                      const std::vector<std::size_t>& channels, unsigned type) {
    if (type >= types.size() || type >= kSerialListMax)
        return;
    const unsigned count = types[type].baudCount;
    for (std::size_t ch : channels) {
        record.setValue(fields.protocol, ch, type);
        // A type offering no rate at all leaves index 0 rather than count - 1 wrapping round.
        if (record.value(fields.baud, ch) >= count)
            record.setValue(fields.baud, ch, count == 0 ? 0 : count - 1);
    }
}

void chooseSerialBaud(ConfigRecord& record, const SerialFields& fields,
                      const std::vector<std::size_t>& channels, unsigned baud) {
    if (baud >= kBaudRateCount)
        return;
    for (std::size_t ch : channels)
        record.setValue(fields.baud, ch, baud);
}

unsigned writePtzLevel(ConfigRecord& record, std::size_t level,
                       const std::vector<std::size_t>& channels, unsigned position) {
    if (level >= kPtzLevels)
        return 1;
    position = std::clamp(position, 1u, kPtzLevelPositions);
    for (std::size_t ch : channels)
        record.setValue(*kPtzLevelFields[level], ch, position - 1);
    return position;
}

unsigned levelPosition(unsigned stored) {
    return std::min(stored, kPtzLevelPositions - 1) + 1;
}

} // namespace kalder
