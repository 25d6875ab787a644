#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kalder {

// The rules of a backup that need no connection: the size text, the free-space check of the
// local save drive and the kilobyte arithmetic behind them. Pure functions, any thread.

// The unit a size is shown in.
enum class BackupSizeUnit : int { Kilobyte = 0, Megabyte = 1, Gigabyte = 2 };

// A size in kilobytes as the operator sees it: "%d KByte" below 1,024 KB, "%d MByte" (size /
// 1,024) below 1,048,576 KB, else "%d GByte" (size / 1,048,576), integer division.
struct BackupSize {
    std::uint32_t kbytes = 0;
    BackupSizeUnit unit = BackupSizeUnit::Kilobyte;
    std::uint32_t value = 0; // the size in that unit
    std::string text;
};
BackupSize backupSize(std::uint32_t kbytes);

// At least this many megabytes must stay free on the save drive after a backup.
inline constexpr std::int64_t kBackupSpaceMarginMb = 100;

// The free-space check: free - size / 1,024 must stay at or above the margin. On failure the
// size pair for the alert is (size in MB, free - margin).
struct BackupSpaceCheck {
    bool enough = false;
    std::int64_t remainingMb = 0;           // free - size / 1,024
    std::array<std::int64_t, 2> sizePair{}; // for the alert when not enough
};
BackupSpaceCheck checkBackupSpace(std::uint64_t freeMb, std::uint32_t kbytes);

// The free and total megabytes of the drive that holds `folder` (its nearest existing parent
// when it does not exist yet). A CD or DVD file system (ISO 9660, UDF) counts as nothing free,
// as does a folder whose drive cannot be read.
struct DriveSpace {
    std::uint64_t freeMb = 0;
    std::uint64_t totalMb = 0;
    bool opticalMedium = false;
};
DriveSpace driveSpace(const std::filesystem::path& folder);

} // namespace kalder
