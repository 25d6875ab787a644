#pragma once

#include "decode/snapshot_picture.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kalder {

// Snapshot file formats, as the save-format setting numbers them.
enum class ImageFormat { Jpeg = 0, Bmp = 1, Tiff = 2 };

// ".jpg", ".bmp", ".tif"; any other setting counts as JPEG.
ImageFormat imageFormatFromSetting(unsigned setting);
const char* imageExtension(ImageFormat format);

// Writes `image` as a whole file: into a temporary file in the same folder, every write and
// the close checked, then renamed over `path`. On failure nothing is left behind (an older file
// of that name stays as it was) and `error` says why. `durable`: the data is flushed to the disk
// before the rename (snapshots); the web export, rewritten several times a second, skips it.
//   JPEG: libjpeg's defaults (quality included), RGB, rows top to bottom.
//   BMP: 14-byte file header, 40-byte information header, 24-bit rows bottom-up, blue first,
//        rows padded to 4 bytes.
//   TIFF: libtiff, RGB, 8 bits a sample, PackBits, one row a strip, contiguous, orientation top
//        left, no resolution unit.
bool writeImageFile(const std::filesystem::path& path, ImageFormat format, const RgbImage& image,
                    std::string& error, bool durable = true);

// The exact bytes of a 24-bit BMP file of `image`.
std::vector<std::uint8_t> encodeBmp(const RgbImage& image);

// Reads a JPEG, BMP (24-bit, uncompressed) or TIFF file, chosen by its extension. Pictures
// larger than 8192 x 8192 are refused. Nothing when the file cannot be read.
std::optional<RgbImage> readImageFile(const std::filesystem::path& path);

} // namespace kalder
