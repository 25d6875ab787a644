#include "setup/local/local_setup_rules.h"

#include <algorithm>

namespace kalder {

void applySliderRelease(std::span<std::uint8_t> values, std::span<const bool> checked,
                        std::size_t moved, std::uint8_t value) {
    if (moved >= values.size())
        return;
    values[moved] = value;
    if (moved >= checked.size() || !checked[moved])
        return;
    const std::size_t rows = std::min(values.size(), checked.size());
    for (std::size_t i = 0; i < rows; ++i) {
        if (checked[i])
            values[i] = value;
    }
}

void setAllChecks(std::span<bool> checked, bool on) {
    std::fill(checked.begin(), checked.end(), on);
}

LocalSetupOutcome finishLocalSetup(const LocalSettings& applied, const LocalSettings& working,
                                   bool removableMode) {
    LocalSetupOutcome out;
    out.settings = working;
    if (removableMode)
        out.settings.location = applied.location;
    out.drawModeChanged = working.drawMode != applied.drawMode;
    return out;
}

} // namespace kalder
