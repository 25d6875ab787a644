#pragma once

// The rules of the connect dialog and its history window, free of widgets so they can be tested
// on their own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kalder {

inline constexpr std::uint16_t kDefaultRecorderPort = 2000;
inline constexpr std::uint32_t kHighestRecorderPort = 65534;
// The session sends the user id and the password in 16-byte fields.
inline constexpr std::size_t kSessionFieldBytes = 16;
// Address and site text are kept to 259 characters (a 260-byte field with its terminating zero).
inline constexpr int kConnectTextLength = 259;

// The port OK connects to: 2000 in default-port mode, else the decimal digits of the port edit.
// Nothing when the text is not a number between 1 and 65534 (OK is refused then).
std::optional<std::uint16_t> acceptedPort(bool defaultPortMode, std::string_view portText);

// True when `text` (in the bytes the session sends) fits the session's 16-byte field.
inline bool fitsSessionField(std::string_view text) {
    return text.size() <= kSessionFieldBytes;
}

// The row to select after row `deletedRow` was removed and `remainingRows` are left: the row now
// at the same position, or the last one; -1 when the list is empty.
int rowAfterDelete(int deletedRow, int remainingRows);

} // namespace kalder
