#include "net/frame_assembler.h"

namespace kalder {

FrameAssembler::FrameAssembler() : m_buffer(std::make_unique<std::byte[]>(kFrameAssemblySize)) {}

std::span<std::byte> FrameAssembler::spaceFor(std::size_t length) {
    if (m_skipping || length > kFrameAssemblySize - m_fill)
        return {};
    return {m_buffer.get() + m_fill, length};
}

void FrameAssembler::commit(std::size_t length) {
    if (length <= kFrameAssemblySize - m_fill)
        m_fill += length;
}

void FrameAssembler::dropFragment(bool lastFragment) {
    m_fill = 0;
    m_skipping = !lastFragment;
}

void FrameAssembler::reset() {
    m_fill = 0;
    m_skipping = false;
}

} // namespace kalder
