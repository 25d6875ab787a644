#include "connect/connect_dialog_rules.h"

namespace kalder {

std::optional<std::uint16_t> acceptedPort(bool defaultPortMode, std::string_view portText) {
    if (defaultPortMode)
        return kDefaultRecorderPort;
    if (portText.empty() || portText.size() > 5)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char ch : portText) {
        if (ch < '0' || ch > '9')
            return std::nullopt;
        value = value * 10 + std::uint32_t(ch - '0');
    }
    if (value < 1 || value > kHighestRecorderPort)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

int rowAfterDelete(int deletedRow, int remainingRows) {
    if (remainingRows <= 0)
        return -1;
    if (deletedRow < 0)
        return 0;
    return deletedRow < remainingRows ? deletedRow : remainingRows - 1;
}

} // namespace kalder
