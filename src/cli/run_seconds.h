#pragma once

namespace kalder::cli {

// How long a command that streams runs without --seconds, and the longest it accepts.
inline constexpr double kDefaultRunSeconds = 10;
inline constexpr double kLongestRunSeconds = 86400;

} // namespace kalder::cli
