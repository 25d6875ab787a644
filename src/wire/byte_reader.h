#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace kalder {

// A zero-padded text field's text: its bytes up to the first zero (all of them when none is).
// (memchr: the library's word-at-a-time scan, for fields of up to a few hundred bytes.)
inline std::string zeroPaddedText(std::span<const std::byte> field) {
    const char* text = reinterpret_cast<const char*>(field.data());
    const void* zero = field.empty() ? nullptr : std::memchr(text, 0, field.size());
    return std::string(text, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                                  : field.size());
}

// Bounds-checked reader over untrusted bytes. Every accessor names its byte order. A read past
// the end returns zero and sets a sticky failure flag, so a decoder reads its whole record and
// checks ok() once at the end.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::byte> bytes) : m_bytes(bytes) {}

    bool ok() const { return !m_failed; }
    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_bytes.size(); }
    std::size_t remaining() const { return m_failed ? 0 : m_bytes.size() - m_pos; }

    void seek(std::size_t pos) {
        if (pos > m_bytes.size())
            m_failed = true;
        else
            m_pos = pos;
    }
    void skip(std::size_t count) { seek(m_pos + count); }

    std::uint8_t readU8() {
        if (!need(1))
            return 0;
        return std::to_integer<std::uint8_t>(m_bytes[m_pos++]);
    }
    std::uint16_t readBe16() {
        if (!need(2))
            return 0;
        const std::uint16_t v = static_cast<std::uint16_t>((at(0) << 8) | at(1));
        m_pos += 2;
        return v;
    }
    std::uint32_t readBe32() {
        if (!need(4))
            return 0;
        const std::uint32_t v = (std::uint32_t(at(0)) << 24) | (std::uint32_t(at(1)) << 16) |
                                (std::uint32_t(at(2)) << 8) | std::uint32_t(at(3));
        m_pos += 4;
        return v;
    }
    std::uint16_t readLe16() {
        if (!need(2))
            return 0;
        const std::uint16_t v = static_cast<std::uint16_t>(at(0) | (at(1) << 8));
        m_pos += 2;
        return v;
    }
    std::uint32_t readLe32() {
        if (!need(4))
            return 0;
        const std::uint32_t v = std::uint32_t(at(0)) | (std::uint32_t(at(1)) << 8) |
                                (std::uint32_t(at(2)) << 16) | (std::uint32_t(at(3)) << 24);
        m_pos += 4;
        return v;
    }
    // A view of the next `count` bytes; empty (and failed) when they are not all there.
    std::span<const std::byte> readBytes(std::size_t count) {
        if (!need(count))
            return {};
        auto view = m_bytes.subspan(m_pos, count);
        m_pos += count;
        return view;
    }
    // A fixed-width, zero-padded text field: the bytes up to the first zero.
    std::string readText(std::size_t width) { return zeroPaddedText(readBytes(width)); }

private:
    bool need(std::size_t count) {
        if (m_failed || count > m_bytes.size() - m_pos) {
            m_failed = true;
            return false;
        }
        return true;
    }
    unsigned at(std::size_t offset) const {
        return std::to_integer<unsigned>(m_bytes[m_pos + offset]);
    }

    std::span<const std::byte> m_bytes;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace kalder
