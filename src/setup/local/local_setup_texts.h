#pragma once

// Text ids of the local setup window's labels in the resource library, with the wording used when
// the library lacks them (so the window stays usable without it).

#include "resources/resource_library.h"

#include <QString>

namespace kalder::setup_text {

struct Text {
    int id;
    const char* fallback;
};

// Menu and pages.
inline constexpr Text kGlobal{5950, "Global"};
inline constexpr Text kOpacity{5951, "Opacity"};
inline constexpr Text kAudioBuffer{5952, "Audio buffer"};
inline constexpr Text kAutoSave{5953, "Auto Save"};
// Not in the resource library: the wording here is the caption.
inline constexpr Text kKeys{-1, "Keys"};
// Global page rows and the date format names (year first, month first, day first).
inline constexpr Text kDrawMode{5954, "Drawing mode"};
inline constexpr Text kDateFormat{5955, "Date format"};
inline constexpr Text kSaveFormat{5956, "Snapshot format"};
inline constexpr Text kDataFolder{5957, "Data folder"};
inline constexpr Text kDateNames[3] = {
    {5958, "YYYY-MM-DD"}, {5959, "MM-DD-YYYY"}, {5960, "DD-MM-YYYY"}};
// Opacity rows, in the order of the window kinds.
inline constexpr Text kOpacityRows[9] = {
    {5961, "Connect / recording"}, {5962, "Remote search"}, {5963, "Remote setup"},
    {5964, "Local search"},        {5965, "Local setup"},   {5966, "PTZ"},
    {5967, "Firmware upgrade"},    {5968, "(not used)"},    {5969, "Notification"}};
// Audio buffer rows.
inline constexpr Text kAudioRows[3] = {
    {5970, "Live"}, {5971, "Remote playback"}, {5972, "Local playback"}};
// Auto Save page (the size labels are followed by " (JPG)" or " (WEB)").
inline constexpr Text kWebExport{5973, "Web export"};
inline constexpr Text kWebOff{5974, "Off"};
inline constexpr Text kWebOn{5975, "On"};
inline constexpr Text kWidth{5976, "Width"};
inline constexpr Text kHeight{5977, "Height"};
inline constexpr Text kInterval{5978, "Images per 10 s"};
inline constexpr Text kWebFolder{5979, "Export folder"};

inline QString text(const Text& t) {
    const QString fromLibrary = resourceText(t.id);
    return fromLibrary.isEmpty() ? QString::fromLatin1(t.fallback) : fromLibrary;
}

} // namespace kalder::setup_text
