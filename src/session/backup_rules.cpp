#include "session/backup_rules.h"

#include <cstdio>

#include <sys/statfs.h>

namespace kalder {

namespace {

// File systems of read-only optical media.
constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;
constexpr std::uint64_t kMegabyte = 1048576;

} // namespace

BackupSize backupSize(std::uint32_t kbytes) {
    BackupSize size;
    size.kbytes = kbytes;
    const char* format = "%d KByte";
    if (kbytes < 1024) {
        size.unit = BackupSizeUnit::Kilobyte;
        size.value = kbytes;
    } else if (kbytes < 1048576) {
        size.unit = BackupSizeUnit::Megabyte;
        size.value = kbytes / 1024;
        format = "%d MByte";
    } else {
        size.unit = BackupSizeUnit::Gigabyte;
        size.value = kbytes / 1048576;
        format = "%d GByte";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<int>(size.value));
    size.text = text;
    return size;
}

BackupSpaceCheck checkBackupSpace(std::uint64_t freeMb, std::uint32_t kbytes) {
    BackupSpaceCheck check;
    const auto sizeMb = static_cast<std::int64_t>(kbytes / 1024);
    check.remainingMb = static_cast<std::int64_t>(freeMb) - sizeMb;
    check.enough = check.remainingMb >= kBackupSpaceMarginMb;
    if (!check.enough)
        check.sizePair = {sizeMb, static_cast<std::int64_t>(freeMb) - kBackupSpaceMarginMb};
    return check;
}

DriveSpace driveSpace(const std::filesystem::path& folder) {
    DriveSpace space;
    std::error_code error;
    std::filesystem::path at =
        std::filesystem::absolute(folder.empty() ? std::filesystem::path(".") : folder, error);
    if (error)
        return space;
    // The save folder is created when the backup starts: ask its nearest existing parent.
    while (!std::filesystem::exists(at, error) && at.has_parent_path() && at != at.parent_path())
        at = at.parent_path();
    struct statfs fs {};
    if (::statfs(at.c_str(), &fs) != 0)
        return space;
    if (fs.f_type == kIso9660Magic || fs.f_type == kUdfMagic) {
        space.opticalMedium = true;
        return space;
    }
    const auto unit = static_cast<std::uint64_t>(fs.f_bsize);
    space.freeMb = static_cast<std::uint64_t>(fs.f_bavail) * unit / kMegabyte;
    space.totalMb = static_cast<std::uint64_t>(fs.f_blocks) * unit / kMegabyte;
    return space;
}

} // namespace kalder
