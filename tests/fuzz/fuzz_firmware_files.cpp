// Firmware image files as the upgrade window's folder scan reads them: the first byte's bits
// 0-3 pick the client's time zone and bit 4 whether the recorder's components are older or newer
// than any file (kFirmwareNames are their names); the rest is one file in an otherwise empty
// folder. The trailer and boot image readers also get the bytes directly.
#include "fuzz_formats.h"
#include "fuzz_input.h"
#include "session/firmware_scan.h"

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

    static const std::filesystem::path folder = fuzz::scratchFolder() / "firmware";
    static const bool made = std::filesystem::create_directories(folder);
    (void)made;
    fuzz::setFileContents(folder / "image.bin", file);
    const FirmwareScanResult result = scanUpgradeFolder(folder, hello, 0);
    for (const UpgradeCandidate& row : result.rows)
        if (row.selected && row.path.empty())
            std::abort();
    return 0;
}
