#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// 16-bit PCM WAV files of the command-line front end: what the player handed to the sound server
// (written) and the sound to talk with (read).
struct WavSound {
    std::uint32_t sampleRate = 0;
    std::uint16_t channels = 0;
    std::vector<std::int16_t> samples; // interleaved when channels > 1
};

// Parses a RIFF/WAVE file held in memory. Only 16-bit PCM is taken; every length is checked
// against the bytes present. Unknown chunks are skipped.
std::optional<WavSound> parseWav(std::span<const std::byte> bytes, std::string& error);
std::optional<WavSound> readWavFile(const std::string& path, std::string& error);

// The bytes of a 16-bit mono PCM WAV file.
std::vector<std::byte> encodeWav(std::uint32_t sampleRate, std::span<const std::int16_t> samples);
// Writes the file whole; false (and `error`) when any write or the close fails.
bool writeWavFile(const std::string& path, std::uint32_t sampleRate,
                  std::span<const std::int16_t> samples, std::string& error);

} // namespace kalder
