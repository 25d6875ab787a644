#pragma once

#include "export/export_request.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalder {

// The time track that travels with the picture: once a second the recorder's wall-clock time
// and the channel's title, as a subtitle the player shows.

// "YYYY-MM-DD hh:mm:ss  Title" (the title left out when empty).
std::string subtitleText(std::uint32_t recorderTime, const std::string& title);

// The bytes of one subtitle sample: MP4's timed text is a 16-bit big-endian length and the
// UTF-8 text; MKV's SubRip is the text alone.
std::vector<std::byte> subtitleSample(ExportFormat format, const std::string& text);

// The timed-text sample description MP4 needs after its box header: centred at the bottom,
// white sans-serif text on a transparent box, one font. Empty for MKV.
std::vector<std::byte> subtitleConfiguration(ExportFormat format);

} // namespace kalder
