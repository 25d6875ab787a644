#pragma once

#include "wire/frame_info.h"

#include <cstddef>
#include <memory>
#include <span>

namespace kalder {

// The receive thread's assembly buffer for a frame that arrives in fragments: 1,244,160 bytes
// allocated once, filled at a running count. A fragment that would not fit is never written:
// the frame is dropped, the fill reset, and the frame's remaining fragments are skipped up to
// its last one so that they cannot be mistaken for the start of the next frame.
// Used by the receive thread only.
class FrameAssembler {
public:
    FrameAssembler();

    std::size_t capacity() const { return kFrameAssemblySize; }
    std::size_t fill() const { return m_fill; }
    bool skipping() const { return m_skipping; }

    // The place for the next fragment of `length` bytes, or empty when the fragment belongs to
    // a frame being skipped or would overflow the buffer (the caller then drops the payload and
    // calls dropFragment).
    std::span<std::byte> spaceFor(std::size_t length);
    // The fragment just read into spaceFor(length) belongs to the frame.
    void commit(std::size_t length);
    // A fragment could not be stored: drop the frame; keep skipping until `lastFragment`.
    void dropFragment(bool lastFragment);
    // The frame so far.
    std::span<const std::byte> frame() const { return {m_buffer.get(), m_fill}; }
    void reset();

private:
    std::unique_ptr<std::byte[]> m_buffer;
    std::size_t m_fill = 0;
    bool m_skipping = false;
};

} // namespace kalder
