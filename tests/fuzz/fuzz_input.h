#pragma once

// Shared by the in-process fuzz targets: a cursor over the fuzzer's bytes that hands out small
// numbers and slices (never failing: past the end it gives zeros and empty slices), and scratch
// files on a memory file system for the readers that take a path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <span>
#include <string>
#include <unistd.h>

namespace kalder::fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t remaining() const { return m_size - m_pos; }
    std::uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() << 8 | u8()); }
    std::uint32_t u32() { return std::uint32_t(u16()) << 16 | u16(); }
    // Up to `count` bytes (fewer at the end).
    std::span<const std::byte> take(std::size_t count) {
        const std::size_t n = count < remaining() ? count : remaining();
        const std::span<const std::byte> s(reinterpret_cast<const std::byte*>(m_data + m_pos), n);
        m_pos += n;
        return s;
    }
    std::span<const std::byte> rest() { return take(remaining()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

inline std::span<const std::byte> asBytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const std::byte*>(data), size};
}

// A folder of its own for this process on a memory file system (/dev/shm when there is one),
// made once and removed at exit.
inline const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = "/dev/shm";
        std::error_code ec;
        if (!std::filesystem::is_directory(base, ec))
            base = std::filesystem::temp_directory_path();
        std::filesystem::path f = base / ("kalder-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        std::atexit([] { std::filesystem::remove_all(scratchFolder()); });
        return f;
    }();
    return folder;
}

// Replaces the whole contents of `file` with `head` at offset 0 and, when `tail` is not empty,
// `tail` at `tailOffset` (the gap reads as zeros and takes no memory). Cheaper than a new file
// for every input: the readers under test open it by name each time.
inline void setFileContents(const std::filesystem::path& file, std::span<const std::byte> head,
                            std::span<const std::byte> tail = {}, off_t tailOffset = 0) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    if (!head.empty() && ::pwrite(fd, head.data(), head.size(), 0) != ssize_t(head.size()))
        std::abort();
    if (!tail.empty() && ::pwrite(fd, tail.data(), tail.size(), tailOffset) != ssize_t(tail.size()))
        std::abort();
    ::close(fd);
}

} // namespace kalder::fuzz
