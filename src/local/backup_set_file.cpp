#include "local/backup_set_file.h"

#include "files/backup_set_records.h"
#include "wire/byte_reader.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <string_view>
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
    return BackupSetFile(std::move(opened), static_cast<std::uint64_t>(size));
}

BackupSetFile BackupSetFile::fromBytes(std::span<const std::byte> bytes,
                                       std::span<const std::byte> tail, std::uint64_t tailOffset) {
    BackupSetFile file(std::nullopt, bytes.size());
    file.m_bytes = bytes;
    if (!tail.empty()) {
        file.m_tail = tail;
        file.m_tailOffset = tailOffset;
        file.m_size = std::max<std::uint64_t>(bytes.size(), tailOffset + tail.size());
    }
    return file;
}

bool BackupSetFile::read(std::uint64_t offset, std::span<std::byte> out) const {
    if (!holds(offset, out.size()))
        return false;
    if (!m_file) {
        // Zeros, then what the bytes and the tail hold of the range (the tail wins where both do).
        std::fill(out.begin(), out.end(), std::byte{0});
        auto copy = [&](std::span<const std::byte> from, std::uint64_t at) {
            const std::uint64_t begin = std::max(offset, at);
            const std::uint64_t end = std::min(offset + out.size(), at + from.size());
            if (begin < end)
                std::copy_n(from.begin() + std::ptrdiff_t(begin - at), end - begin,
                            out.begin() + std::ptrdiff_t(begin - offset));
        };
        copy(m_bytes, 0);
        copy(m_tail, m_tailOffset);
        return true;
    }
    std::size_t got = 0;
    return m_file->readAt(out, static_cast<off_t>(offset), got) && got == out.size();
}

std::optional<std::uint32_t> readFrameTime(const BackupSetFile& vih, std::uint64_t offset) {
    std::array<std::byte, 4> bytes{};
    if (!vih.holds(offset, kBackupFrameHeaderSize) ||
        !vih.read(offset + kFrameHeaderTimeOffset, bytes))
        return std::nullopt;
    return ByteReader(bytes).readLe32();
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
    // By the paths' text, as they are ordered: the folder, a separator, a name ending in the
    // extension.
    const std::string_view within = folder.native(), ending = extension.native();
    std::vector<std::filesystem::path> paths;
    for (const auto& [path, bytes] : files) {
        const std::string_view text = path.native();
        const std::size_t slash = text.rfind('/');
        if (slash == std::string_view::npos || text.substr(0, slash) != within)
            continue;
        const std::string_view name = text.substr(slash + 1);
        if (name.size() > ending.size() && name.ends_with(ending) && paths.size() < limit)
            paths.push_back(path);
    }
    return paths;
}

std::optional<BackupSetFile> MemoryBackupSetSource::open(const std::filesystem::path& file) const {
    const auto found = files.find(file);
    if (found == files.end())
        return std::nullopt;
    return BackupSetFile::fromBytes(found->second.bytes, found->second.tail,
                                    found->second.tailOffset);
}

} // namespace kalder
