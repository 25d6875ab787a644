#pragma once

#include <cstddef>

namespace kalder {

// Channels of the recorders this client serves: every per-channel table has this many rows.
inline constexpr std::size_t kChannelCount = 16;

} // namespace kalder
