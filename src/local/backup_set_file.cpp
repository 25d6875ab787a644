#include "local/backup_set_file.h"

#include <algorithm>
#include <fcntl.h>
#include <system_error>

namespace kalder {

std::optional<BackupSetFile> BackupSetFile::open(const std::filesystem::path& file) {
    int error = 0;
    std::optional<DataFile> opened = DataFile::open(file, O_RDONLY, error);
    if (!opened)
        return std::nullopt;
    const off_t size = opened->size();
    if (size < 0)
        return std::nullopt;
    return BackupSetFile(std::move(opened), {}, static_cast<std::uint64_t>(size));
}

BackupSetFile BackupSetFile::fromBytes(std::span<const std::byte> bytes) {
    return BackupSetFile(std::nullopt, bytes, bytes.size());
}

bool BackupSetFile::read(std::uint64_t offset, std::span<std::byte> out) const {
    if (!holds(offset, out.size()))
        return false;
    if (!m_file) {
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    }
    std::size_t got = 0;
    return m_file->readAt(out, static_cast<off_t>(offset), got) && got == out.size();
}

std::vector<std::filesystem::path> BackupSetSource::list(const std::filesystem::path& folder,
                                                         const std::filesystem::path& extension,
                                                         std::size_t limit) const {
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end;
         !error && it != end && paths.size() < limit; it.increment(error))
        if (it->path().extension() == extension)
            paths.push_back(it->path());
    return paths;
}

std::optional<BackupSetFile> BackupSetSource::open(const std::filesystem::path& file) const {
    return BackupSetFile::open(file);
}

const BackupSetSource& BackupSetSource::fileSystem() {
    static const BackupSetSource source;
    return source;
}

std::vector<std::filesystem::path>
MemoryBackupSetSource::list(const std::filesystem::path& folder,
                            const std::filesystem::path& extension, std::size_t limit) const {
    std::vector<std::filesystem::path> paths;
    for (const auto& [path, bytes] : files)
        if (path.parent_path() == folder && path.extension() == extension && paths.size() < limit)
            paths.push_back(path);
    return paths;
}

std::optional<BackupSetFile> MemoryBackupSetSource::open(const std::filesystem::path& file) const {
    const auto found = files.find(file);
    if (found == files.end())
        return std::nullopt;
    return BackupSetFile::fromBytes(found->second);
}

} // namespace kalder
