#pragma once

#include "setup/model/channel_selection.h"
#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>

namespace kalder {

// The Camera Setting page: four picture arrays (hue, saturation, contrast, brightness), one of
// them shown at a time on the channels' sliders. Owns those four arrays only.
enum class PictureView { Hue = 0, Saturation = 1, Contrast = 2, Brightness = 3 };
inline constexpr std::uint32_t kPictureMax = 100;
inline constexpr std::uint32_t kPictureReset = 50;

struct CameraSettingState {
    unsigned channels = 0;
    std::array<std::array<std::uint8_t, 16>, 4> values{}; // [view][channel]
};

const ConfigField& pictureField(PictureView view);
CameraSettingState readCameraSetting(const ConfigRecord& record, const SetupContext& context);

// A slider of `channel` moved to `value` (kept within 0 .. 100): the value goes to the channel
// and its selected set. Returns the channels written.
std::vector<unsigned> setPictureValue(ConfigRecord& record, PictureView view,
                                      const ChannelSelection& selection, unsigned channel,
                                      std::uint32_t value);

// Reset: the shown array back to 50 for every checked row; nothing when no row is checked.
std::vector<unsigned> resetPicture(ConfigRecord& record, PictureView view,
                                   const ChannelSelection& selection);

} // namespace kalder
