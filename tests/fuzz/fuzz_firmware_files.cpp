// Firmware image files as the upgrade window's folder scan reads them: the first byte's bits
// 0-3 pick the client's time zone and bit 4 whether the recorder's components are older or newer
// than any file (kFirmwareNames are their names); the rest is one image file, read as the upgrade
// folder's scan reads each file (from memory here). The trailer and boot image readers also get
// the bytes directly.
#include "fuzz_formats.h"
#include "fuzz_input.h"
#include "session/firmware_scan.h"

#include <algorithm>
#include <cstdlib>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t choices = in.u8();
    const std::span<const std::byte> file = in.rest();

    (void)trailerAtEnd(file);
    (void)isBootImage(file);
    (void)decodeFirmwareTrailer(file);
    if (const auto boot = decodeBootImageHead(file))
        (void)bootImageBuildTime(boot->buildTime, (choices & 0x0F) * 3600 - 12 * 3600);

    HelloRecord hello;
    for (std::size_t i = 0; i < fuzz::kFirmwareNames.size(); ++i) {
        hello.firmName[i] = std::string(fuzz::kFirmwareNames[i]);
        hello.firmVer[i] = (choices & 0x10) ? 0x7FFFFFFF : 1;
    }
    rearrangeFirmwareSlots(hello);

    // The scan's reading of the file, from memory, then its step for that file.
    const auto image = readFirmwareImage(
        file.size(), [&](std::vector<std::byte>& into, std::size_t count, std::uint64_t offset) {
            const auto part = file.subspan(std::min<std::uint64_t>(offset, file.size()));
            into.assign(part.begin(), part.begin() + std::ptrdiff_t(std::min(count, part.size())));
            return true;
        });
    FirmwareScanResult result;
    if (image)
        offerUpgradeImage(result, "image.bin", *image, hello, 0);
    for (const UpgradeCandidate& row : result.rows)
        if (row.selected && row.path.empty())
            std::abort();
    return 0;
}
