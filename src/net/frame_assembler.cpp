#include "net/frame_assembler.h"

#include "net/trace.h"
#include "net/transport.h"

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

FrameAssembler::Fragment FrameAssembler::readFragment(ReceiveSource& source,
                                                      const MessageHeader& header,
                                                      const std::atomic<bool>& keep,
                                                      const char* what) {
    const std::size_t length = header.payloadLength;
    const std::span<std::byte> space = spaceFor(length);
    if (space.size() != length || (length == 0 && m_skipping)) {
        // Part of an item larger than the assembly buffer: read and dropped, never stored.
        if (!m_skipping)
            trace("%s larger than %zu bytes dropped\n", what, capacity());
        if (!discardPayload(source, header))
            return Fragment::Failed;
        dropFragment(header.lastFragment());
        return Fragment::Pending;
    }
    if (!LoopReceive(source, space))
        return Fragment::Failed;
    if (!keep) {
        reset();
        return Fragment::Pending;
    }
    commit(length);
    return header.lastFragment() ? Fragment::Whole : Fragment::Pending;
}

} // namespace kalder
