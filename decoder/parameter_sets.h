#pragma once

// The picture size an H.264 stream announces in its sequence parameter sets, read before any of
// the stream reaches libavcodec: libavcodec sizes its per-macroblock tables from the parameter set
// as soon as a slice refers to it, before it compares the picture with its size limit, so a
// recorder that announces 8192 x 4320 would cost some 11 MB a channel for a picture that is
// refused anyway.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder::h264 {

// Coded size in pixels: whole macroblocks, both fields of a field-coded stream, before cropping.
struct CodedSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t pixels() const { return width * height; }
};

// The coded size of one sequence parameter set, from the bytes after its NAL header (emulation
// prevention bytes still in place). Empty when the set ends before its size or an Exp-Golomb
// code is longer than 32 bits.
std::optional<CodedSize> parseSpsCodedSize(std::span<const std::uint8_t> payload);

// The largest coded picture, in pixels, that any sequence parameter set of an Annex B access
// unit announces; empty when it holds none whose size can be read.
std::optional<std::int64_t> largestAnnouncedPicture(std::span<const std::uint8_t> accessUnit);

} // namespace kalder::h264
