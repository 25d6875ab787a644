#pragma once

#include <cstdint>

namespace kalder {

// A connection notification for the main window: window message 21030 with
// lParam = category << 16 | detail.
struct Notification {
    std::uint16_t category = 0;
    std::uint16_t detail = 0;

    std::uint32_t lParam() const { return (std::uint32_t(category) << 16) | detail; }
    static Notification fromLParam(std::uint32_t lParam) {
        return {static_cast<std::uint16_t>(lParam >> 16), static_cast<std::uint16_t>(lParam)};
    }
    bool operator==(const Notification&) const = default;
};

} // namespace kalder
