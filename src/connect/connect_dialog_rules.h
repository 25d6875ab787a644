#pragma once

// The rules of the connect dialog and its history window, free of widgets so they can be tested
// on their own.

#include "site/recorder_fields.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kalder {

// The port OK connects to: 2000 in default-port mode, else the decimal digits of the port edit.
// Nothing when the text is not a number between 1 and 65534 (OK is refused then).
std::optional<std::uint16_t> acceptedPort(bool defaultPortMode, std::string_view portText);

// The row to select after row `deletedRow` was removed and `remainingRows` are left: the row now
// at the same position, or the last one; -1 when the list is empty.
int rowAfterDelete(int deletedRow, int remainingRows);

} // namespace kalder
