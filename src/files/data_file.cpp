#include "files/data_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalder {

std::optional<DataFile> DataFile::open(const std::filesystem::path& file, int flags, int& error) {
    error = 0;
    // Non-blocking only while opening: a planted FIFO must not hang the open.
    const int fd = ::open(file.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    DataFile opened(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
        return std::nullopt;
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
        return std::nullopt;
    }
    return opened;
}

DataFile::DataFile(DataFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

DataFile& DataFile::operator=(DataFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

DataFile::~DataFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

off_t DataFile::size() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return -1;
    return st.st_size;
}

bool DataFile::readAt(std::span<std::byte> out, off_t offset, std::size_t& got) const {
    got = 0;
    while (got < out.size()) {
        const ssize_t n = ::pread(m_fd, out.data() + got, out.size() - got, offset + off_t(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break; // end of file
        got += std::size_t(n);
    }
    return true;
}

bool DataFile::writeAt(std::span<const std::byte> bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, offset + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

bool DataFile::sync() {
    return m_fd >= 0 && ::fdatasync(m_fd) == 0;
}

bool DataFile::close() {
    if (m_fd < 0)
        return false;
    // The descriptor is gone after close() even when it reports an error: never retried.
    return ::close(std::exchange(m_fd, -1)) == 0;
}

std::optional<std::vector<std::byte>> readDataFile(const std::filesystem::path& file,
                                                   std::size_t maxBytes) {
    int error = 0;
    std::optional<DataFile> f = DataFile::open(file, O_RDONLY, error);
    if (!f)
        return std::nullopt;
    const off_t size = f->size();
    if (size < 0)
        return std::nullopt;
    std::vector<std::byte> bytes(std::min<std::size_t>(std::size_t(size), maxBytes));
    std::size_t got = 0;
    if (!f->readAt(bytes, 0, got))
        return std::nullopt;
    bytes.resize(got);
    return bytes;
}

bool replaceDataFile(const std::filesystem::path& file, std::span<const std::byte> bytes) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec)
        return false;
    // One temporary name per process and file; O_EXCL refuses anything already there (a planted
    // link included), and a leftover of a crashed run of this process id is removed first.
    std::filesystem::path temporary = file;
    temporary += ".tmp" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    int error = 0;
    std::optional<DataFile> f = DataFile::open(temporary, O_RDWR | O_CREAT | O_EXCL, error);
    if (!f)
        return false;
    const bool written = f->writeAt(bytes, 0) && f->sync();
    const bool closed = f->close();
    if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace kalder
