#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include <sys/types.h>

namespace kalder {

// A file of the data folder. Another local user may have planted a symbolic link or a special
// file there, so a data file is never reached through a link in its last component and must be
// a regular file; every read, write and close is checked. Plain POSIX, any thread.
class DataFile {
public:
    // `flags`: O_RDONLY or O_RDWR, optionally O_CREAT (mode 0644). O_NOFOLLOW and O_CLOEXEC are
    // always added. Nothing when the file cannot be opened or is not a regular file; `error`
    // then holds the reason (ELOOP for a link, EINVAL for a special file).
    static std::optional<DataFile> open(const std::filesystem::path& file, int flags, int& error);

    DataFile(DataFile&& other) noexcept;
    DataFile& operator=(DataFile&& other) noexcept;
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    // Closes without looking at the result: use close() where a write must be confirmed.
    ~DataFile();

    int fd() const { return m_fd; }
    // The current size; -1 when it cannot be read.
    off_t size() const;
    // Reads up to out.size() bytes at `offset`; `got` says how many (fewer at the end of file).
    bool readAt(std::span<std::byte> out, off_t offset, std::size_t& got) const;
    // Writes all of `bytes` at `offset`.
    bool writeAt(std::span<const std::byte> bytes, off_t offset);
    // Flushes the written data to the disk.
    bool sync();
    // Closes the file; false when the close reports an error (the data may be lost).
    bool close();

private:
    explicit DataFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// The whole file, at most `maxBytes` of it. Nothing when it cannot be opened or read.
std::optional<std::vector<std::byte>> readDataFile(const std::filesystem::path& file,
                                                   std::size_t maxBytes);

// Replaces the file as a whole: the bytes go to a new temporary file beside it, which is synced,
// closed and then renamed over the old one, so that a failure at any step (a full disk, say)
// leaves the old file as it was. The folder is created when missing. True when the new file is
// in place.
bool replaceDataFile(const std::filesystem::path& file, std::span<const std::byte> bytes);

} // namespace kalder
