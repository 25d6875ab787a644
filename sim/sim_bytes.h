#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalder::sim {

// The four bytes of `v`, most significant first, as the recorder writes its numbers.
inline std::array<std::byte, 4> bigEndian32(std::uint32_t v) {
    return {std::byte(v >> 24), std::byte(v >> 16), std::byte(v >> 8), std::byte(v)};
}

// An admin command's word as a whole decimal number; false when any of it is not.
inline bool wholeNumber(const std::string& text, long long& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

} // namespace kalder::sim
