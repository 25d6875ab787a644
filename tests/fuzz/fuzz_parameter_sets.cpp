// The decoder module's size check of sequence parameter sets: arbitrary bytes as one access
// unit and as one set's payload. A size that is read is always at least one macroblock.
#include "decoder/parameter_sets.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto largest = kalder::h264::largestAnnouncedPicture(bytes);
        largest && *largest < 256)
        std::abort();
    if (const auto sps = kalder::h264::parseSpsCodedSize(bytes);
        sps && (sps->width < 16 || sps->height < 16))
        std::abort();
    return 0;
}
