#pragma once

// What a fuzz target and the corpus writer must agree on beyond the layouts each target's
// comment gives.
#include <array>
#include <string_view>

namespace kalder::fuzz {

// The recorder's firmware table the firmware target logs in with: a boot image names the first
// entry at its bytes 4-14, a component image names one of the others in its trailer.
inline constexpr std::array<std::string_view, 8> kFirmwareNames = {
    "Boot-2.1.0 rel", "kernel", "app", "front", "ramdisk", "fpga", "spare-6", "spare-7"};

} // namespace kalder::fuzz
