#include "decode/picture_store.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <new>

namespace kalder {

namespace {

std::size_t pictureGuardBytes() {
    return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// The buffer's pages, whole pages from its first byte.
std::size_t pictureMappedBytes() {
    const std::size_t page = pictureGuardBytes();
    return (kPictureBufferSize + page - 1) / page * page;
}

} // namespace

// Each buffer lies between two pages that may not be touched: a decoder or a painter that runs
// past either end of a channel's buffer faults there instead of writing into its neighbour's
// picture. The guards also keep the buffer a mapping of its own (the system never merges it with
// the memory beside it), so that its resident size can be told apart in /proc/PID/smaps.
void PictureStore::UnmapBytes::operator()(std::byte* bytes) const {
    ::munmap(bytes - pictureGuardBytes(), pictureMappedBytes() + 2 * pictureGuardBytes());
}

PictureStore::PictureStore(unsigned channels)
    : m_count(std::clamp(channels, 1u, 64u)), m_channels(std::make_unique<Channel[]>(m_count)) {
    const std::size_t guard = pictureGuardBytes();
    for (Channel& channel : std::span(m_channels.get(), m_count)) {
        void* mapped = ::mmap(nullptr, pictureMappedBytes() + 2 * guard, PROT_NONE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        auto* bytes = static_cast<std::byte*>(mapped) + guard;
        if (::mprotect(bytes, pictureMappedBytes(), PROT_READ | PROT_WRITE) != 0) {
            ::munmap(mapped, pictureMappedBytes() + 2 * guard);
            throw std::bad_alloc();
        }
        channel.bytes.reset(bytes);
    }
}

void PictureStore::clear(unsigned channel) {
    std::byte* bytes = at(channel).bytes.get();
    // A private anonymous mapping reads as zeros after MADV_DONTNEED; zero it by hand should
    // the kernel refuse.
    if (::madvise(bytes, kPictureBufferSize, MADV_DONTNEED) != 0)
        std::memset(bytes, 0, kPictureBufferSize);
}

} // namespace kalder
