#include "decode/picture_store.h"

#include <cstring>

namespace kalder {

PictureStore::PictureStore() {
    for (Channel& channel : m_channels)
        channel.bytes = std::make_unique<std::byte[]>(kPictureBufferSize); // zeroed
}

void PictureStore::clear(unsigned channel) {
    std::memset(at(channel).bytes.get(), 0, kPictureBufferSize);
}

} // namespace kalder
