#include "local/backup_set_file.h"

#include <fcntl.h>

namespace kalder {

std::optional<BackupSetFile> BackupSetFile::open(const std::filesystem::path& file) {
    int error = 0;
    std::optional<DataFile> opened = DataFile::open(file, O_RDONLY, error);
    if (!opened)
        return std::nullopt;
    const off_t size = opened->size();
    if (size < 0)
        return std::nullopt;
    return BackupSetFile(std::move(*opened), static_cast<std::uint64_t>(size));
}

bool BackupSetFile::read(std::uint64_t offset, std::span<std::byte> out) const {
    if (!holds(offset, out.size()))
        return false;
    std::size_t got = 0;
    return m_file.readAt(out, static_cast<off_t>(offset), got) && got == out.size();
}

} // namespace kalder
