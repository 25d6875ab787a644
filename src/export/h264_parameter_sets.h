#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace kalder {

// The sequence and picture parameter sets (NAL types 7 and 8) of an Annex B access unit, each
// behind a four-byte start code, in the order they appear: what a container's decoder
// configuration is built from. Empty when the unit holds neither.
std::vector<std::byte> h264ParameterSets(std::span<const std::byte> accessUnit);

} // namespace kalder
