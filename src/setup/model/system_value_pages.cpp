#include "setup/model/system_value_pages.h"

#include <algorithm>
#include <cstdio>

namespace kalder {

std::vector<unsigned> setSensorType(ConfigRecord& record, const ChannelSelection& selection,
                                    unsigned channel, SensorType type) {
    return writeSelected(record, configField("sensor_type"), 0, selection, channel,
                         static_cast<std::uint32_t>(type));
}

bool setAutoDeleteDays(ConfigRecord& record, int days) {
    return record.setValue(
        configField("auto_delete_days"), 0,
        static_cast<std::uint32_t>(std::clamp(days, 0, int(kAutoDeleteMaxDays))));
}

bool setSmartFlag(ConfigRecord& record, std::size_t row, bool on) {
    if (row > 1)
        return false;
    return record.setValue(row == 0 ? configField("smart_flag_1") : configField("smart_flag_2"), 0,
                           on ? 1 : 0);
}

bool setSmartValue(ConfigRecord& record, int value) {
    return record.setValue(configField("smart_value"), 0,
                           static_cast<std::uint32_t>(std::clamp(value, 0, int(kSmartValueMax))));
}

std::string smartValueText(unsigned value, const std::string& unit, const std::string& off) {
    if (value == 0)
        return off;
    char text[16];
    std::snprintf(text, sizeof text, "%02u", value);
    return std::string(text) + " " + unit;
}

bool setEtcChoice(ConfigRecord& record, std::size_t row, unsigned entry) {
    if (row > 1 || entry >= (row == 0 ? kEtcChoice1Entries : kEtcChoice2Entries))
        return false;
    const ConfigField& f = row == 0 ? configField("etc_choice_1") : configField("etc_choice_2");
    if (record.value(f) == entry)
        return false;
    return record.setValue(f, 0, entry);
}

} // namespace kalder
