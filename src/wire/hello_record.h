#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kalder {

inline constexpr std::size_t kHelloPayloadSize = 32;
inline constexpr std::size_t kHelloRecordSize = 768;
inline constexpr std::size_t kFirmwareEntries = 20;
inline constexpr std::size_t kFirmwareSlots = 7;

// HELLO: user id and password, each lower-cased into a 16-byte zero-padded field.
struct HelloPayload {
    std::string userId;
    std::string password;
};
std::array<std::byte, kHelloPayloadSize> encodeHelloPayload(const HelloPayload& hello);
// As received by a recorder: the two fields, up to their first zero byte.
std::optional<HelloPayload> decodeHelloPayload(std::span<const std::byte> payload);

std::string toLowerAscii(std::string_view text);

// HELLO48_ACK: the recorder's description of itself.
struct HelloRecord {
    std::uint8_t protocol_major_ver = 0;
    std::uint8_t protocol_minor_ver = 0;
    std::uint8_t product_number = 0;
    std::uint8_t product_major_ver = 0;
    std::uint8_t product_minor_ver = 0;
    std::uint8_t front_ver = 0;
    std::uint8_t channel_num = 0;
    std::uint8_t account = 0;
    std::array<std::uint8_t, 6> mac{};
    std::uint8_t sub_product_num_major = 0;
    std::uint8_t sub_product_num_minor = 0;
    std::uint8_t flags = 0;
    std::array<std::string, kFirmwareEntries> firmName; // at most 32 bytes each
    std::array<std::uint32_t, kFirmwareEntries> firmVer{};

    bool operator==(const HelloRecord&) const = default;
};

std::optional<HelloRecord> decodeHelloRecord(std::span<const std::byte> payload);
std::array<std::byte, kHelloRecordSize> encodeHelloRecord(const HelloRecord& record);

// Rearranges the recorder's firmware table into the client's seven component slots: slot 0 keeps
// entry 0, slot 3 takes entry 2, slot 4 entry 5, slot 5 entry 3, slot 6 entry 4; every other
// entry, name and version, is cleared.
void rearrangeFirmwareSlots(HelloRecord& record);

} // namespace kalder
