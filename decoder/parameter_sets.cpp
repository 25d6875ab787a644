#include "decoder/parameter_sets.h"

#include <algorithm>
#include <cstring>

namespace kalder::h264 {

namespace {

constexpr std::uint8_t kNalTypeSps = 7;

// Reads bits MSB first over an escaped NAL payload, dropping each emulation prevention byte
// (the 0x03 after two zero bytes) on the way. Reading past the end sets a sticky failure.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }

    std::uint32_t bit() {
        if (m_bitsLeft == 0 && !loadByte()) {
            m_failed = true;
            return 0;
        }
        --m_bitsLeft;
        return (m_current >> m_bitsLeft) & 1u;
    }

    std::uint32_t bits(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 1) | bit();
        return value;
    }

    // ue(v). Codes longer than 32 bits fail (no field read here may be that large).
    std::uint32_t ue() {
        int zeros = 0;
        while (!m_failed && bit() == 0) {
            if (++zeros > 31) {
                m_failed = true;
                return 0;
            }
        }
        if (m_failed)
            return 0;
        const std::uint64_t rest = bits(zeros);
        return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + rest);
    }

    // se(v).
    std::int32_t se() {
        const std::uint32_t code = ue();
        const std::int64_t magnitude = (std::int64_t{code} + 1) / 2;
        return static_cast<std::int32_t>((code & 1u) ? magnitude : -magnitude);
    }

private:
    bool loadByte() {
        if (m_pos >= m_bytes.size())
            return false;
        std::uint8_t byte = m_bytes[m_pos++];
        if (m_zeros >= 2 && byte == 0x03) {
            m_zeros = 0;
            if (m_pos >= m_bytes.size())
                return false;
            byte = m_bytes[m_pos++];
        }
        m_zeros = byte == 0 ? m_zeros + 1 : 0;
        m_current = byte;
        m_bitsLeft = 8;
        return true;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    int m_zeros = 0;
    std::uint8_t m_current = 0;
    int m_bitsLeft = 0;
    bool m_failed = false;
};

// The profiles whose parameter sets carry the chroma format, bit depths and scaling matrices.
bool hasChromaFields(std::uint32_t profile) {
    switch (profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
        return true;
    default:
        return false;
    }
}

void skipScalingList(BitReader& reader, int size) {
    std::int64_t last = 8;
    std::int64_t next = 8;
    for (int j = 0; j < size && !reader.failed(); ++j) {
        // Scales wrap modulo 256; a delta outside -128..127 (a damaged set) wraps as well.
        if (next != 0)
            next = (last + reader.se()) & 0xFF;
        if (next != 0)
            last = next;
    }
}

} // namespace

std::optional<CodedSize> parseSpsCodedSize(std::span<const std::uint8_t> payload) {
    BitReader r(payload);
    const std::uint32_t profile = r.bits(8);
    r.bits(8); // constraint flags
    r.bits(8); // level
    r.ue();    // parameter set id
    if (hasChromaFields(profile)) {
        const std::uint32_t chromaFormat = r.ue();
        if (chromaFormat == 3)
            r.bit(); // separate colour planes
        r.ue();      // luma bit depth - 8
        r.ue();      // chroma bit depth - 8
        r.bit();     // lossless bypass
        if (r.bit() != 0) {
            const int lists = chromaFormat == 3 ? 12 : 8;
            for (int i = 0; i < lists && !r.failed(); ++i) {
                if (r.bit() != 0)
                    skipScalingList(r, i < 6 ? 16 : 64);
            }
        }
    }
    r.ue(); // log2 of the largest frame number - 4
    const std::uint32_t orderType = r.ue();
    if (orderType == 0) {
        r.ue(); // log2 of the largest order count - 4
    } else if (orderType == 1) {
        r.bit(); // delta always zero
        r.se();  // offset of non-reference pictures
        r.se();  // offset from top to bottom field
        const std::uint32_t cycle = r.ue();
        // The cycle has at most 255 entries; a longer one only says the set is damaged.
        if (cycle > 255)
            return std::nullopt;
        for (std::uint32_t i = 0; i < cycle && !r.failed(); ++i)
            r.se();
    }
    r.ue();  // reference frames
    r.bit(); // gaps allowed
    // Counts far beyond any picture (libavcodec refuses them) are held at a bound, so that
    // the pixel count of a hostile set stays a number instead of overflowing.
    constexpr std::int64_t kMostUnits = std::int64_t{1} << 20;
    const std::int64_t widthMbs = std::min(std::int64_t{r.ue()} + 1, kMostUnits);
    const std::int64_t heightMapUnits = std::min(std::int64_t{r.ue()} + 1, kMostUnits);
    const bool framesOnly = r.bit() != 0;
    if (r.failed())
        return std::nullopt;
    return CodedSize{widthMbs * 16, heightMapUnits * 16 * (framesOnly ? 1 : 2)};
}

std::optional<std::int64_t> largestAnnouncedPicture(std::span<const std::uint8_t> accessUnit) {
    std::optional<std::int64_t> largest;
    const std::uint8_t* const begin = accessUnit.data();
    const std::uint8_t* const end = begin + accessUnit.size();
    // Every NAL unit starts after 00 00 01; its payload runs up to the next start code (or the
    // end), which the bit reader never needs to find: the size comes well before it.
    const std::uint8_t* p = begin;
    while (end - p >= 4) {
        const void* one = std::memchr(p + 2, 0x01, static_cast<std::size_t>(end - p - 2));
        if (one == nullptr)
            break;
        const std::uint8_t* mark = static_cast<const std::uint8_t*>(one);
        p = mark + 1;
        if (mark[-1] != 0 || mark[-2] != 0 || p >= end)
            continue;
        if ((*p & 0x1F) != kNalTypeSps)
            continue;
        const std::span<const std::uint8_t> payload(p + 1, static_cast<std::size_t>(end - p - 1));
        if (const auto size = parseSpsCodedSize(payload))
            largest = std::max(largest.value_or(0), size->pixels());
    }
    return largest;
}

} // namespace kalder::h264
