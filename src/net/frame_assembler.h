#pragma once

#include "wire/frame_info.h"
#include "wire/message_header.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <span>

namespace kalder {

class ReceiveSource;

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

    enum class Fragment {
        Failed,  // the read failed: the connection is unusable
        Pending, // taken, dropped or skipped; wait for the next fragment
        Whole,   // the last fragment arrived: the caller takes frame(), then reset()
    };
    // Reads the payload of `header`, one fragment of an item, from `source`. A fragment that does
    // not fit is read and dropped, with a trace naming the item (`what`) once per item. `keep`
    // is read once the payload is in: while it is false the item so far is dropped.
    Fragment readFragment(ReceiveSource& source, const MessageHeader& header,
                          const std::atomic<bool>& keep, const char* what);

private:
    std::unique_ptr<std::byte[]> m_buffer;
    std::size_t m_fill = 0;
    bool m_skipping = false;
};

} // namespace kalder
