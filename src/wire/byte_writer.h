#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace kalder {

// Bounds-checked writer into a fixed buffer. A write past the end is dropped and sets a sticky
// failure flag; the caller checks ok() once after writing the whole record.
class ByteWriter {
public:
    explicit ByteWriter(std::span<std::byte> bytes) : m_bytes(bytes) {}

    bool ok() const { return !m_failed; }
    std::size_t position() const { return m_pos; }

    void seek(std::size_t pos) {
        if (pos > m_bytes.size())
            m_failed = true;
        else
            m_pos = pos;
    }
    void skip(std::size_t count) { seek(m_pos + count); }

    void writeU8(std::uint8_t v) {
        if (need(1))
            put(v);
    }
    void writeBe16(std::uint16_t v) {
        if (need(2)) {
            put(v >> 8);
            put(v);
        }
    }
    void writeBe32(std::uint32_t v) {
        if (need(4)) {
            put(v >> 24);
            put(v >> 16);
            put(v >> 8);
            put(v);
        }
    }
    void writeLe16(std::uint16_t v) {
        if (need(2)) {
            put(v);
            put(v >> 8);
        }
    }
    void writeLe32(std::uint32_t v) {
        if (need(4)) {
            put(v);
            put(v >> 8);
            put(v >> 16);
            put(v >> 24);
        }
    }
    void writeBytes(std::span<const std::byte> bytes) {
        if (need(bytes.size())) {
            if (!bytes.empty())
                std::memcpy(m_bytes.data() + m_pos, bytes.data(), bytes.size());
            m_pos += bytes.size();
        }
    }
    // A fixed-width text field: at most `width` bytes of `text`, the rest zero. A text that
    // does not fit is cut at the field's width (fields carry no length of their own).
    void writeText(std::string_view text, std::size_t width) {
        if (!need(width))
            return;
        const std::size_t n = text.size() < width ? text.size() : width;
        if (n) // an empty view may hold a null pointer, which memcpy must not see
            std::memcpy(m_bytes.data() + m_pos, text.data(), n);
        std::memset(m_bytes.data() + m_pos + n, 0, width - n);
        m_pos += width;
    }
    void writeZeros(std::size_t count) {
        if (need(count)) {
            std::memset(m_bytes.data() + m_pos, 0, count);
            m_pos += count;
        }
    }

private:
    bool need(std::size_t count) {
        if (m_failed || count > m_bytes.size() - m_pos) {
            m_failed = true;
            return false;
        }
        return true;
    }
    void put(std::uint32_t v) { m_bytes[m_pos++] = static_cast<std::byte>(v & 0xFF); }

    std::span<std::byte> m_bytes;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace kalder
