#pragma once

#include "files/data_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace kalder {

// One file of a backup set opened for reading, with its size taken once. The files come from a
// download folder or a disc that anyone may have written: every offset read from them is checked
// against the size before it is used, and a read that would pass the end fails instead.
class BackupSetFile {
public:
    static std::optional<BackupSetFile> open(const std::filesystem::path& file);
    // The same reads over bytes in memory: `bytes`, then (when `tail` is not empty) zeros up to
    // `tailOffset` and `tail` there, as a sparse file reads. The bytes must outlive the file.
    static BackupSetFile fromBytes(std::span<const std::byte> bytes,
                                   std::span<const std::byte> tail = {},
                                   std::uint64_t tailOffset = 0);

    std::uint64_t size() const { return m_size; }
    // True when [offset, offset + length) lies inside the file.
    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    // Reads exactly out.size() bytes at `offset`; false when they are not all there.
    bool read(std::uint64_t offset, std::span<std::byte> out) const;

private:
    BackupSetFile(std::optional<DataFile> file, std::uint64_t size)
        : m_file(std::move(file)), m_size(size) {}
    std::optional<DataFile> m_file; // none: the bytes are in memory
    std::span<const std::byte> m_bytes, m_tail;
    std::uint64_t m_tailOffset = 0;
    std::uint64_t m_size = 0;
};

// The frame time of the whole frame header at `offset` of a .vih, read alone: seeks and
// playlists pass many headers and need nothing else of them. None when the header is not all
// there.
std::optional<std::uint32_t> readFrameTime(const BackupSetFile& vih, std::uint64_t offset);

// Where the files of backup sets are found: the file system, or (MemoryBackupSetSource) bytes in
// memory named by their paths. The catalog and the playlist read through one.
class BackupSetSource {
public:
    virtual ~BackupSetSource() = default;
    // The entries of `folder` named with `extension` (".idx"), at most `limit`, in any order;
    // none when it cannot be listed.
    virtual std::vector<std::filesystem::path> list(const std::filesystem::path& folder,
                                                    const std::filesystem::path& extension,
                                                    std::size_t limit) const;
    virtual std::optional<BackupSetFile> open(const std::filesystem::path& file) const;

    static const BackupSetSource& fileSystem();
};

// Files in memory: `files` maps each path to its contents.
class MemoryBackupSetSource final : public BackupSetSource {
public:
    struct File {
        std::vector<std::byte> bytes;
        std::vector<std::byte> tail; // at tailOffset, zeros between (BackupSetFile::fromBytes)
        std::uint64_t tailOffset = 0;
    };
    // Ordered by the paths' text: the sources' paths are made one way, and comparing paths
    // part by part would cost more than reading a short set.
    struct ByText {
        bool operator()(const std::filesystem::path& a, const std::filesystem::path& b) const {
            return a.native() < b.native();
        }
    };
    std::map<std::filesystem::path, File, ByText> files;

    std::vector<std::filesystem::path> list(const std::filesystem::path& folder,
                                            const std::filesystem::path& extension,
                                            std::size_t limit) const override;
    std::optional<BackupSetFile> open(const std::filesystem::path& file) const override;
};

} // namespace kalder
