#pragma once

#include <string>
#include <string_view>

namespace kalder {

// Turns what the operator typed into the dotted-quad address the session connects to. Dotted
// decimal text is rewritten number by number in plain decimal (leading zeros are not octal);
// a host name is resolved to its first IPv4 address. Empty when nothing resolves.
std::string resolveRecorderAddress(std::string_view typed);

} // namespace kalder
