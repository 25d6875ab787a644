#pragma once

// The rules of the local setup window, free of widgets so they can be tested on their own.

#include "setup/local/local_settings.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kalder {

// Slider ranges of the Opacity and Audio buffer pages.
inline constexpr int kOpacitySliderMin = 100, kOpacitySliderMax = 255;
inline constexpr int kAudioBufSliderMin = 2, kAudioBufSliderMax = 64;
// Folder texts are kept to 259 characters.
inline constexpr int kMaxFolderLength = 259;
// The web export interval list offers 1-20 images per 10 seconds.
inline constexpr int kWebIntervalMin = 1, kWebIntervalMax = 20;

// A slider of row `moved` was released at `value`: the row takes the value, and when the row is
// checked every other checked row takes it too. Unchecked rows keep theirs.
void applySliderRelease(std::span<std::uint8_t> values, std::span<const bool> checked,
                        std::size_t moved, std::uint8_t value);

// Checks or clears every row ("All Check", "Beturn All").
void setAllChecks(std::span<bool> checked, bool on);

// What OK makes of the operator's edits.
struct LocalSetupOutcome {
    LocalSettings settings;       // the new applied settings
    bool drawModeChanged = false; // the video window must be created again
};

// Takes every working value, except the data folder when running from removable media (the
// folder is not offered there and stays as applied).
LocalSetupOutcome finishLocalSetup(const LocalSettings& applied, const LocalSettings& working,
                                   bool removableMode);

} // namespace kalder
