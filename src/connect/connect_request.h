#pragma once

#include <cstdint>
#include <string>

namespace kalder {

// What the connect dialog hands to the main window when the operator presses OK: everything a
// new session needs. Plain data, no Qt, so the session and the CLI can take it as it is.
struct ConnectRequest {
    std::string address;      // dotted IPv4 after name resolution; empty when nothing resolved
    std::uint16_t port = 0;   // 1-65534
    std::string userId;       // at most 16 bytes (the session's field)
    std::string password;     // at most 16 bytes
    std::string siteText;     // free text, at most 259 bytes
    std::string typedAddress; // the address as the operator typed it (kept in the history)

    bool operator==(const ConnectRequest&) const = default;
};

} // namespace kalder
