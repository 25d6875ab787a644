#pragma once

#include "session/search_resume_context.h"

#include <QMetaType>

#include <cstdint>

namespace kalder {

// The caption of the search panels' Play buttons in the resource library.
inline constexpr int kSearchPlayText = 5563;

// What the search window asks remote playback to play: the period (end 0: play on from the
// start), the channels, the recording kinds (bit k: kind k; 0 the timeline's "any") and which
// panel asked.
struct SearchPlayRequest {
    std::uint32_t start = 0; // RecorderTime
    std::uint32_t end = 0;   // RecorderTime; 0 none
    std::uint16_t channelMask = 0;
    std::uint8_t kindSelector = 0;
    SearchResumeContext::Source source = SearchResumeContext::Source::DateTime;
};

} // namespace kalder

Q_DECLARE_METATYPE(kalder::SearchPlayRequest)
