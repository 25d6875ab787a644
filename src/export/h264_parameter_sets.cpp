#include "export/h264_parameter_sets.h"

#include <array>

namespace kalder {

namespace {

// The offset just past the next start code (00 00 01, with or without a leading zero) at or
// after `from`; the unit's size when there is none.
std::size_t nextNalStart(std::span<const std::byte> unit, std::size_t from) {
    for (std::size_t i = from; i + 3 <= unit.size(); ++i)
        if (unit[i] == std::byte{0} && unit[i + 1] == std::byte{0} && unit[i + 2] == std::byte{1})
            return i + 3;
    return unit.size();
}

} // namespace

std::vector<std::byte> h264ParameterSets(std::span<const std::byte> accessUnit) {
    static constexpr std::array<std::byte, 4> kStartCode{std::byte{0}, std::byte{0}, std::byte{0},
                                                         std::byte{1}};
    std::vector<std::byte> sets;
    std::size_t begin = nextNalStart(accessUnit, 0);
    while (begin < accessUnit.size()) {
        const std::size_t next = nextNalStart(accessUnit, begin);
        // The NAL ends before the next start code and its zero bytes.
        std::size_t end = next == accessUnit.size() ? next : next - 3;
        while (end > begin && accessUnit[end - 1] == std::byte{0})
            --end;
        const unsigned type = std::to_integer<unsigned>(accessUnit[begin]) & 0x1F;
        if ((type == 7 || type == 8) && end > begin) {
            sets.insert(sets.end(), kStartCode.begin(), kStartCode.end());
            sets.insert(sets.end(), accessUnit.begin() + std::ptrdiff_t(begin),
                        accessUnit.begin() + std::ptrdiff_t(end));
        }
        begin = next;
    }
    return sets;
}

} // namespace kalder
