#pragma once

// What a recorder's connect values may hold, wherever they are typed or stored: the connect
// dialog, its history, the sites of the address book.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kalder {

inline constexpr std::uint16_t kDefaultRecorderPort = 2000;
inline constexpr std::uint32_t kHighestRecorderPort = 65534;
// The session sends the user id and the password in 16-byte fields.
inline constexpr std::size_t kSessionFieldBytes = 16;
// Address and site text are kept to 259 characters (a 260-byte field with its terminating zero).
inline constexpr int kConnectTextLength = 259;

// True when `text` (in the bytes the session sends) fits the session's 16-byte field.
inline bool fitsSessionField(std::string_view text) {
    return text.size() <= kSessionFieldBytes;
}

} // namespace kalder
