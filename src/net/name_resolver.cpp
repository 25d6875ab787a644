#include "net/name_resolver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace kalder {

std::string resolveRecorderAddress(std::string_view typed) {
    if (typed.empty())
        return {};
    const bool dotted = std::all_of(typed.begin(), typed.end(),
                                    [](char ch) { return (ch >= '0' && ch <= '9') || ch == '.'; });
    if (dotted) {
        std::array<unsigned, 4> parts{};
        std::size_t part = 0;
        bool digits = false;
        for (char ch : typed) {
            if (ch == '.') {
                if (!digits || ++part >= parts.size())
                    return {};
                digits = false;
                continue;
            }
            parts[part] = parts[part] * 10 + unsigned(ch - '0');
            if (parts[part] > 255)
                return {};
            digits = true;
        }
        if (part != 3 || !digits)
            return {};
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
        return text;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const std::string host(typed);
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result)
        return {};
    std::string address;
    for (addrinfo* ai = result; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        const std::uint32_t a = ntohl(in->sin_addr.s_addr);
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                      a & 0xFF);
        address = text;
        break;
    }
    ::freeaddrinfo(result);
    return address;
}

} // namespace kalder
