#pragma once

#include <cstdint>

namespace kalder {

// G.711 mu-law, as the recorder sends and takes it (8 kHz, 8 bits, mono).
std::int16_t muLawToLinear(std::uint8_t code);
std::uint8_t linearToMuLaw(std::int16_t sample);

} // namespace kalder
