#include "net/reply_assembler.h"

namespace kalder {

void ReplyAssembler::clear() {
    m_bytes.clear();
    m_overflowed = false;
}

ReplyAssembler::Step ReplyAssembler::append(std::span<const std::byte> fragment, bool last) {
    if (!m_overflowed) {
        if (fragment.size() > kCapacity - m_bytes.size()) {
            m_overflowed = true;
            m_bytes.clear();
            m_bytes.shrink_to_fit();
        } else {
            m_bytes.insert(m_bytes.end(), fragment.begin(), fragment.end());
        }
    }
    if (!last)
        return Step::NeedMore;
    if (m_overflowed) {
        // The next reply starts clean even when the caller does not clear.
        m_overflowed = false;
        return Step::Overflow;
    }
    return Step::Complete;
}

} // namespace kalder
