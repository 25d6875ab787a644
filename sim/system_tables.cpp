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

// Regional daylight-saving rules: start month (0 January .. 11 December), week (0 .. 3 the first
// to fourth, 4 the last), weekday (0 Monday .. 6 Sunday), hour, minute, then the same for the
// end, then the shift in hours and minutes.
constexpr std::uint8_t kDstRules[][12] = {
    {2, 1, 6, 2, 0, 10, 0, 6, 2, 0, 1, 0}, // North America
    {2, 4, 6, 1, 0, 9, 4, 6, 1, 0, 1, 0},  // Europe
    {9, 0, 6, 2, 0, 3, 0, 6, 3, 0, 1, 0},  // Australia (south-east)
    {8, 4, 6, 2, 0, 3, 0, 6, 3, 0, 1, 0},  // New Zealand
    {9, 2, 6, 0, 0, 1, 2, 6, 0, 0, 1, 0},  // Brazil (former rule)
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
