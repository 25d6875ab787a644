// Feeds arbitrary bytes to the WAV reader of the talk command: every chunk length is checked
// against the bytes present, so nothing reads past the input.
#include "audio/wav_file.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto sound =
        kalder::parseWav(std::span(reinterpret_cast<const std::byte*>(data), size), error);
    if (sound && sound->samples.size() * 2 > size)
        __builtin_trap(); // more samples than the input can hold
    return 0;
}
