#pragma once

#include "wire/config_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalder {

// The selection boxes of a page's channel rows. A change made in a checked row applies to every
// checked row (the selected set); a change made in an unchecked row applies to that row alone.
// Rows at or beyond `channels` do not exist on the page and are never part of a change.
struct ChannelSelection {
    unsigned channels = 16;
    std::array<bool, 16> checked{};

    void checkAll();
    void clearAll();
    bool anyChecked() const;
};

// The channels a change made in row `channel` reaches, in channel order; empty for a row the
// page does not show.
std::vector<unsigned> selectedSet(const ChannelSelection& selection, unsigned channel);

// Writes `value` into element `base + ch` of `field` for every channel of the selected set of
// `channel`. Returns the channels written.
std::vector<unsigned> writeSelected(ConfigRecord& record, const ConfigField& field,
                                    std::size_t base, const ChannelSelection& selection,
                                    unsigned channel, std::uint32_t value);

} // namespace kalder
