#include "setup/model/osd_page.h"

namespace kalder {

const ConfigField& osdChoiceField(std::size_t choice) {
    switch (choice) {
    case 0:
        return configField("osd_choice_1");
    case 1:
        return configField("osd_choice_2");
    case 2:
        return configField("osd_choice_3");
    case 3:
        return configField("osd_choice_4");
    default:
        break;
    }
    return configField("osd_choice_5");
}

bool osdExtraRowsShown(RecordVersion version) {
    return version.above(4, 3);
}

OsdState readOsd(const ConfigRecord& record, const SetupContext& context) {
    OsdState state;
    state.flags[0] = static_cast<std::uint8_t>(record.value(configField("osd_flag_1")));
    state.flags[1] = static_cast<std::uint8_t>(record.value(configField("osd_flag_2")));
    for (std::size_t k = 0; k < kOsdChoices; ++k)
        state.choices[k] = static_cast<std::uint8_t>(record.value(osdChoiceField(k)));
    state.extraRows = osdExtraRowsShown(context.version);
    return state;
}

std::vector<std::size_t> setOsdFlag(ConfigRecord& record, std::size_t row, bool on,
                                    const std::array<bool, 2>& checked) {
    if (row > 1)
        return {};
    std::vector<std::size_t> rows{row};
    if (checked[row] && checked[1 - row])
        rows.push_back(1 - row);
    for (std::size_t r : rows)
        record.setValue(r == 0 ? configField("osd_flag_1") : configField("osd_flag_2"), 0,
                        on ? 1 : 0);
    return rows;
}

bool setOsdChoice(ConfigRecord& record, const SetupContext& context, std::size_t choice,
                  unsigned entry) {
    if (choice >= kOsdChoices || entry >= kOsdChoiceEntries[choice])
        return false;
    if (choice >= 2 && !osdExtraRowsShown(context.version))
        return false;
    return record.setValue(osdChoiceField(choice), 0, entry);
}

} // namespace kalder
