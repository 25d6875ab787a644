#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <string>
#include <string_view>

namespace kalder {

// The Camera Name page: one title per shown channel. Owns `camera_title` only.
inline constexpr std::size_t kCameraTitleMaxChars = 30;

struct CameraNameState {
    unsigned channels = 0; // rows shown
    std::array<std::string, 16> titles;
};

CameraNameState readCameraNames(const ConfigRecord& record, const SetupContext& context);

// What an edit box may hold: at most 30 characters of the recorder's single-byte code page
// (printable Latin-1; other characters are dropped).
std::string cameraTitleFromInput(std::u32string_view input);

// Writes one title: the text and one NUL, the rest of the field as it was. Nothing for a
// channel the page does not show. True when written.
bool writeCameraName(ConfigRecord& record, const CameraNameState& state, unsigned channel,
                     std::string_view title);

} // namespace kalder
