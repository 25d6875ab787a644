#include "decode/picture_store.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace kalder {

void PictureStore::UnmapBytes::operator()(std::byte* bytes) const {
    ::munmap(bytes, kPictureBufferSize);
}

PictureStore::PictureStore() {
    for (Channel& channel : m_channels) {
        void* bytes = ::mmap(nullptr, kPictureBufferSize, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (bytes == MAP_FAILED)
            throw std::bad_alloc();
        channel.bytes.reset(static_cast<std::byte*>(bytes));
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
