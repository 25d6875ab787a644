#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace kalder {

// The buffer into which the receive thread appends the fragments of a multi-message reply
// (search, backup and log replies): consecutive messages of one id, the last with fragment flag
// bit 14. It holds at most 2,400,000 bytes. A reply that would outgrow it is refused whole: its
// bytes are dropped, the rest of its fragments are skipped, and the last one reports Overflow,
// so that a partial reply is never taken for a whole one. Memory grows with the reply, up to
// the capacity. Used by the receive thread between clear() and the last fragment; the reader
// (usually the GUI thread, after the ready message) reads bytes() only afterwards.
class ReplyAssembler {
public:
    static constexpr std::size_t kCapacity = 2'400'000;

    enum class Step {
        NeedMore, // wait for the next fragment
        Complete, // the last fragment arrived: bytes() holds the whole reply
        Overflow, // the last fragment of a reply larger than the capacity: bytes() is empty
    };

    // Before each request: empties the buffer and ends any skipping.
    void clear();
    // One fragment's payload; `last` is its fragment flag bit 14.
    Step append(std::span<const std::byte> fragment, bool last);

    std::span<const std::byte> bytes() const { return m_bytes; }
    std::size_t fill() const { return m_bytes.size(); }
    // Whole records of `recordSize` bytes in the reply (a trailing partial record is not one).
    std::size_t recordCount(std::size_t recordSize) const {
        return recordSize == 0 ? 0 : m_bytes.size() / recordSize;
    }

private:
    std::vector<std::byte> m_bytes;
    bool m_overflowed = false;
};

} // namespace kalder
