// The playback records' decoders over arbitrary bytes: no read past the input, and a decoded
// record encodes back to the bytes it came from where the layout keeps every byte.
#include "wire/playback_records.h"

#include <cstdlib>
#include <cstring>
#include <span>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    if (const auto request = decodePlayOnRequest(bytes)) {
        const auto again = encodePlayOnRequest(*request);
        if (decodePlayOnRequest(again) != request)
            std::abort();
    }
    if (const auto position = decodePlayPosition(bytes)) {
        if (decodePlayPosition(encodePlayPosition(*position)) != position)
            std::abort();
    }
    (void)decodePlayWord(bytes);
    const bool tagged = recordingTagMatches(bytes);
    if (const auto header = decodeRecordingFrameHeader(bytes)) {
        if (tagged != (header->tag == kRecordingTag))
            std::abort();
    }
    for (std::size_t i = 0; i < size && i < 64; ++i)
        (void)playSpeedForCode(data[i]);
    return 0;
}
