#pragma once

#include "files/data_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace kalder {

// One file of a backup set opened for reading, with its size taken once. The files come from a
// download folder or a disc that anyone may have written: every offset read from them is checked
// against the size before it is used, and a read that would pass the end fails instead.
class BackupSetFile {
public:
    static std::optional<BackupSetFile> open(const std::filesystem::path& file);

    std::uint64_t size() const { return m_size; }
    // True when [offset, offset + length) lies inside the file.
    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    // Reads exactly out.size() bytes at `offset`; false when they are not all there.
    bool read(std::uint64_t offset, std::span<std::byte> out) const;

private:
    BackupSetFile(DataFile file, std::uint64_t size) : m_file(std::move(file)), m_size(size) {}
    DataFile m_file;
    std::uint64_t m_size = 0;
};

} // namespace kalder
