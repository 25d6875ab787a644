#pragma once

#include "wire/message_header.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kalder {

inline constexpr std::size_t kFwUpdateRequestSize = 56;
inline constexpr std::size_t kFwChunkSize = 8000;    // FW_DATA payload bytes per message
inline constexpr std::size_t kFwImageHeadSize = 256; // what the folder scan reads of a file
inline constexpr std::size_t kFwTrailerSize = 64;    // a component image's trailer
inline constexpr std::size_t kFwComponentNameSize = 32;
inline constexpr std::size_t kUpgradeRows = 5;                  // rows of the upgrade window
inline constexpr std::uint32_t kTrailerAtEndMagic = 0xEA000014; // little-endian, first word

// The upgrade window's rows and the component slots they stand for: row 0 slot 0, rows 1-4
// slots 3-6. Slots 1 and 2 have no row and are never offered.
int GetIdxToType(int row);  // -1 for a row out of range
int GetTypeToIdx(int slot); // -1 for a slot without a row

// FW_UPDATE_REQ: announces one component. Bytes 4-7 the build time (big-endian), byte 16 the
// slot, bytes 21-52 the zero-padded name; everything else zero.
struct FwUpdateRequest {
    std::uint32_t buildTime = 0;
    std::uint8_t componentType = 0;
    std::string componentName; // at most 32 bytes are sent
    bool operator==(const FwUpdateRequest&) const = default;
};
std::array<std::byte, kFwUpdateRequestSize> encodeFwUpdateRequest(const FwUpdateRequest& r);
std::optional<FwUpdateRequest> decodeFwUpdateRequest(std::span<const std::byte> payload);

// The header of one FW_DATA message: `length` payload bytes, bit 14 only on the last chunk.
MessageHeader makeFwDataHeader(std::uint16_t length, bool last);

// The trailer of a component image: bytes 8-11 the build time (big-endian), 32-63 the name.
struct FirmwareTrailer {
    std::uint32_t buildTime = 0;
    std::string componentName;
};
std::optional<FirmwareTrailer> decodeFirmwareTrailer(std::span<const std::byte> trailer);

// A file's first bytes say where its trailer is: at the end when the file starts with the
// little-endian word 0xEA000014, else at the start.
bool trailerAtEnd(std::span<const std::byte> head);

// A boot image carries "VBoot" at bytes 3-7.
bool isBootImage(std::span<const std::byte> head);

// What a boot image's first 256 bytes tell: the 11 characters at bytes 4-14 (compared with the
// start of slot 0's name), the first 15 bytes (the name sent), and the build time written as
// text from the first '(' on: "(Mon dd yyyy - hh:mm:ss)", the month at positions 1-3 and the
// numbers read from positions 5, 8, 15, 18 and 21. Nothing when there is no '(' or no month.
// The build time as a boot image writes it (month 1-12).
struct BootImageTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const BootImageTime&) const = default;
};
struct BootImageInfo {
    std::string idText;      // bytes 4-14, up to the first zero
    std::string sentName;    // bytes 0-14 as they are
    BootImageTime buildTime; // as written; not checked for being a real date
};
std::optional<BootImageInfo> decodeBootImageHead(std::span<const std::byte> head);

} // namespace kalder
