#include "wire/byte_writer.h"
#include "sim/recorder_model.h"

#include <string_view>

namespace kalder::sim {

namespace {

constexpr std::string_view kLanguages[] = {"English", "Korean", "Japanese", "Chinese",
                                           "French",  "German", "Spanish",  "Italian"};
struct SerialDevice {
    std::uint8_t builtIn; // built-in number, 0: known only by name
    std::uint8_t bauds;   // number of baud rates offered
    std::string_view name;
};
constexpr SerialDevice kPtzProtocols[] = {
    {1, 3, "Pelco-P"},   {2, 3, "Pelco-D"}, {3, 4, "Vista PD"},   {4, 3, "Dongyang"},
    {5, 5, "Brisk-900"}, {6, 3, "Vitek"},   {0, 6, "Kalder-PTZ"},
};
constexpr SerialDevice kKeyboards[] = {{1, 3, "Brisk-900"}, {2, 4, "Vista KBD"}};

// Regional daylight-saving rules: start month, week (4 = last), weekday, hour, minute, then
// the same for the end, then the shift in hours and minutes.
constexpr std::uint8_t kDstRules[][12] = {
    {3, 2, 0, 2, 0, 11, 1, 0, 2, 0, 1, 0}, // North America
    {3, 4, 0, 1, 0, 10, 4, 0, 1, 0, 1, 0}, // Europe
    {10, 1, 0, 2, 0, 4, 1, 0, 3, 0, 1, 0}, // Australia (south-east)
    {9, 4, 0, 2, 0, 4, 1, 0, 3, 0, 1, 0},  // New Zealand
    {10, 3, 0, 0, 0, 2, 3, 0, 0, 0, 1, 0}, // Brazil (former rule)
};

} // namespace

std::array<std::byte, kSysEtcInfoSize> buildSysEtcInfo() {
    std::array<std::byte, kSysEtcInfoSize> out{};
    ByteWriter w(out);
    // Recorder language index → client language list index.
    for (std::size_t i = 0; i < 64; ++i)
        w.writeU8(i < std::size(kLanguages) ? static_cast<std::uint8_t>(i) : 0);
    for (std::size_t i = 0; i < 64; ++i) {
        const bool used = i < std::size(kPtzProtocols);
        w.writeU8(used ? kPtzProtocols[i].builtIn : 0);
        w.writeU8(used ? kPtzProtocols[i].bauds : 0);
    }
    for (std::size_t i = 0; i < 64; ++i) {
        const bool used = i < std::size(kKeyboards);
        w.writeU8(used ? kKeyboards[i].builtIn : 0);
        w.writeU8(used ? kKeyboards[i].bauds : 0);
    }
    return out;
}

std::array<std::byte, kSysEtcInfoExSize> buildSysEtcInfoEx() {
    std::array<std::byte, kSysEtcInfoExSize> out{};
    ByteWriter w(out);
    for (std::size_t i = 0; i < 64; ++i)
        w.writeText(i < std::size(kLanguages) ? kLanguages[i] : std::string_view(""), 16);
    for (std::size_t i = 0; i < 64; ++i)
        w.writeText(i < std::size(kPtzProtocols) ? kPtzProtocols[i].name : std::string_view(""),
                    16);
    for (std::size_t i = 0; i < 64; ++i)
        w.writeU8(i < std::size(kPtzProtocols) ? kPtzProtocols[i].bauds : 0);
    for (std::size_t i = 0; i < 64; ++i)
        w.writeText(i < std::size(kKeyboards) ? kKeyboards[i].name : std::string_view(""), 16);
    for (std::size_t i = 0; i < 64; ++i)
        w.writeU8(i < std::size(kKeyboards) ? kKeyboards[i].bauds : 0);
    return out;
}

std::array<std::byte, kDstTableSize> buildDstTable() {
    std::array<std::byte, kDstTableSize> out{};
    ByteWriter w(out);
    w.writeBe32(static_cast<std::uint32_t>(std::size(kDstRules)));
    for (const auto& rule : kDstRules)
        for (std::uint8_t b : rule)
            w.writeU8(b);
    return out;
}

} // namespace kalder::sim
