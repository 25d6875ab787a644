#include "setup/model/channel_selection.h"

#include <algorithm>

namespace kalder {

void ChannelSelection::checkAll() {
    for (unsigned ch = 0; ch < checked.size(); ++ch)
        checked[ch] = ch < channels;
}

void ChannelSelection::clearAll() {
    checked.fill(false);
}

bool ChannelSelection::anyChecked() const {
    for (unsigned ch = 0; ch < std::min<unsigned>(channels, 16); ++ch)
        if (checked[ch])
            return true;
    return false;
}

std::vector<unsigned> selectedSet(const ChannelSelection& selection, unsigned channel) {
    const unsigned shown = std::min<unsigned>(selection.channels, 16);
    if (channel >= shown)
        return {};
    if (!selection.checked[channel])
        return {channel};
    std::vector<unsigned> set;
    for (unsigned ch = 0; ch < shown; ++ch)
        if (selection.checked[ch])
            set.push_back(ch);
    return set;
}

std::vector<unsigned> writeSelected(ConfigRecord& record, const ConfigField& field,
                                    std::size_t base, const ChannelSelection& selection,
                                    unsigned channel, std::uint32_t value) {
    std::vector<unsigned> written;
    for (unsigned ch : selectedSet(selection, channel))
        if (record.setValue(field, base + ch, value))
            written.push_back(ch);
    return written;
}

} // namespace kalder
