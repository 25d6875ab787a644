// A download folder with a backup set of arbitrary contents, read as local search and local play
// read it: the sets discovered and ordered, their segment entries listed, and a playlist built for
// a request (which reads the time records and the frame headers the entries point at).
//
// Input: one byte of choices (bit 0: the tag is read from the data file, bits 1-2: the request's
// kind, bit 3: a second set with the same contents, bit 4: the summary's segment count as given,
// else cut to at most 8 so that most inputs read quickly), the request's start and end
// (big-endian),
// three big-endian 16-bit lengths (the index's head, the index's time records, the header file),
// those bytes, then the data file. The time records land at their place in the index, past the
// 1,024 segment slots; the gap reads as zeros.
#include "fuzz_input.h"
#include "local/backup_set_catalog.h"
#include "local/local_playlist.h"

#include <cstdlib>

using namespace kalder;

namespace {

void writeSet(const std::filesystem::path& folder, std::uint32_t base,
              std::span<const std::byte> idxHead, std::span<const std::byte> idxTimes,
              std::span<const std::byte> vih, std::span<const std::byte> vid) {
    const BackupSetFiles files = backupSetFiles(folder, base);
    fuzz::setFileContents(files.idx, idxHead, idxTimes, off_t(kTimeRecordsOffset));
    fuzz::setFileContents(files.vih, vih);
    fuzz::setFileContents(files.vid, vid);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = fuzz::scratchFolder() / "download";
    static const bool made = std::filesystem::create_directories(folder);
    (void)made;

    fuzz::Input in(data, size);
    const std::uint8_t choices = in.u8();
    LocalPlayRequest request;
    request.start = in.u32();
    request.end = in.u32();
    request.kind = static_cast<LocalPlayRequest::Kind>(((choices >> 1) & 3) % 3);
    const std::uint16_t headLength = in.u16(), timesLength = in.u16(), vihLength = in.u16();
    const std::span<const std::byte> head = in.take(headLength);
    std::vector<std::byte> idxHead(head.begin(), head.end());
    constexpr std::size_t kCountAt = kSetSummaryOffset + 32; // SetSummary::segmentCount, LE
    if ((choices & 0x10) == 0 && idxHead.size() >= kCountAt + 4) {
        idxHead[kCountAt] &= std::byte{0x07};
        std::fill_n(idxHead.begin() + kCountAt + 1, 3, std::byte{0});
    }
    const auto idxTimes = in.take(timesLength);
    const auto vih = in.take(vihLength);
    const auto vid = in.rest();

    writeSet(folder, 0x1a, idxHead, idxTimes, vih, vid);
    const bool second = (choices & 8) != 0;
    if (second)
        writeSet(folder, 0x2b, idxHead, idxTimes, vih, vid);
    else
        std::filesystem::remove(backupSetFiles(folder, 0x2b).idx);

    const std::vector<BackupSetInfo> sets =
        discoverBackupSets(folder, (choices & 1) ? SetTagSource::Data : SetTagSource::Index);
    if (sets.size() > (second ? 2u : 1u))
        std::abort();
    for (const BackupSetInfo& set : sets)
        if (readSegmentEntries(set).size() > kMaxSetSegments)
            std::abort();
    const Playlist playlist = buildPlaylist(sets, request);
    for (std::size_t i = 0; i < playlist.entries.size(); ++i)
        (void)runSpan(playlist, i);
    return 0;
}
