#pragma once

#include "wire/firmware_records.h"
#include "wire/hello_record.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

// One row of the upgrade window: the newest image file found for its component.
struct UpgradeCandidate {
    bool selected = false; // a newer file was found and not yet sent
    std::string path;
    std::uint32_t buildTime = 0;
    std::uint8_t componentType = 0; // the component slot
    std::string componentName;      // the name sent to the recorder
};

struct FirmwareScanResult {
    std::array<UpgradeCandidate, kUpgradeRows> rows;
    int taken = 0; // files taken; a later, newer file for the same row counts again
    bool anySelected() const;
};

// A boot image's text time: read as local standard time (no daylight saving), then corrected
// by the client's time-zone offset. Nothing when it is no moment or does not fit 32 bits.
std::optional<std::uint32_t> bootImageBuildTime(const BootImageTime& written,
                                                int timeZoneOffsetSeconds);

// Looks at every regular file of `folder` (links are not followed) and offers, per row, the
// newest image whose build time is later than the recorder's component (`hello`'s rearranged
// firmware table) and than any other file for that row. Unreadable and unmatched files are
// skipped. A boot image must carry slot 0's name at bytes 4-14; a component image's trailer
// name picks its slot among all twenty entries, and slots without a row are never offered.
FirmwareScanResult scanUpgradeFolder(const std::filesystem::path& folder, const HelloRecord& hello,
                                     int timeZoneOffsetSeconds);

// What the scan reads of an image file: its first bytes and, when its trailer sits at the end,
// its last 64 bytes (else the head's first 64).
struct FirmwareImageBytes {
    std::vector<std::byte> head;
    std::vector<std::byte> trailer;
};
// Reads `count` bytes at `offset` into `into` (fewer at the end of the file); false on an error.
using FirmwareImageRead =
    std::function<bool(std::vector<std::byte>& into, std::size_t count, std::uint64_t offset)>;
// Those bytes of a file of `size` bytes; nothing when a read fails or a trailer said to be at the
// end is not all there.
std::optional<FirmwareImageBytes> readFirmwareImage(std::uint64_t size,
                                                    const FirmwareImageRead& readAt);
// The scan's step for one file at `path`: offered to its row when it is newer than the
// recorder's component and the row's file so far.
void offerUpgradeImage(FirmwareScanResult& result, const std::string& path,
                       const FirmwareImageBytes& image, const HelloRecord& hello,
                       int timeZoneOffsetSeconds);

} // namespace kalder
