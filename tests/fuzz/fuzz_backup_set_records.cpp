// The fixed records of a backup set's files, decoded straight from the fuzzer's bytes: the
// first byte picks the record, the rest is the record's bytes. A decoded record encodes back to
// a record that decodes the same; a set name of the bytes is read as the catalogue reads one.
#include "files/backup_set_records.h"
#include "fuzz_input.h"

#include <array>
#include <cstdlib>
#include <string_view>

using namespace kalder;

namespace {

template <std::size_t Size, typename Decode, typename Encode>
void roundTrip(std::span<const std::byte> bytes, Decode decode, Encode encode) {
    const auto record = decode(bytes);
    if (!record) {
        if (bytes.size() >= Size)
            std::abort(); // only a record whose bytes are not all there is refused
        return;
    }
    std::array<std::byte, Size> out{};
    if (!encode(*record, std::span<std::byte>(out)))
        std::abort();
    // The writer keeps a NUL at the end of the tag: a tag read full comes back one character
    // shorter, and nothing else changes.
    auto expected = *record;
    expected.tag = expected.tag.substr(0, kBackupTagSize - 1);
    const auto again = decode(std::span<const std::byte>(out));
    if (!again || !(*again == expected))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    const std::span<const std::byte> bytes = in.rest();
    (void)backupTagValid(bytes);
    switch (pick % 7) {
    case 0:
        roundTrip<kFileHeaderSize>(bytes, decodeFileHeader, encodeFileHeader);
        break;
    case 1:
        roundTrip<kFileTrailerSize>(bytes, decodeFileTrailer, encodeFileTrailer);
        break;
    case 2:
        roundTrip<kSetSummarySize>(bytes, decodeSetSummary, encodeSetSummary);
        break;
    case 3:
        roundTrip<kSegmentEntrySize>(bytes, decodeSegmentEntry, encodeSegmentEntry);
        break;
    case 4:
        if (const auto t = decodeTimeRecord(bytes)) {
            std::array<std::byte, kTimeRecordSize> out{};
            if (!encodeTimeRecord(*t, out) || decodeTimeRecord(out) != t)
                std::abort();
        }
        break;
    case 5:
        roundTrip<kBackupFrameHeaderSize>(bytes, decodeBackupFrameHeader, encodeBackupFrameHeader);
        break;
    default: {
        const std::string_view name(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        (void)backupSetId(name);
        break;
    }
    }
    return 0;
}
