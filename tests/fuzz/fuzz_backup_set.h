#pragma once

// The input layout of the backup set targets (backup_set_folder, local_player_reads): one byte
// of choices (bit 0: the tag is read from the data file, bits 1-2: the request's kind, bit 3: a
// second set with the same contents, bit 4: the summary's segment count cut to at most 16, else
// to at most 7 so that most inputs read quickly; bits 5-7 are the target's own), the request's
// start and end (big-endian), three big-endian 16-bit lengths (the index's head, the index's time
// records, the header file), those bytes, then the data file. The time records land at their
// place in the index, past the 1,024 segment slots; the gap reads as zeros. The files are held
// in memory and read through the same source interface as files on disk.
#include "fuzz_input.h"
#include "local/backup_set_catalog.h"
#include "local/local_playlist.h"

#include <algorithm>

namespace kalder::fuzz {

struct BackupSetInput {
    std::uint8_t choices = 0;
    LocalPlayRequest request;
    std::vector<BackupSetInfo> sets;
};

// The two sets' files (named once: building paths costs more than reading a short set).
inline const BackupSetFiles& firstSetFiles() {
    static const BackupSetFiles files = backupSetFiles("/download", 0x1a);
    return files;
}
inline const BackupSetFiles& secondSetFiles() {
    static const BackupSetFiles files = backupSetFiles("/download", 0x2b);
    return files;
}

inline void putSet(MemoryBackupSetSource& source, const BackupSetFiles& files,
                   std::span<const std::byte> idxHead, std::span<const std::byte> idxTimes,
                   std::span<const std::byte> vih, std::span<const std::byte> vid) {
    MemoryBackupSetSource::File& idx = source.files[files.idx];
    idx.bytes.assign(idxHead.begin(), idxHead.end());
    idx.tail.assign(idxTimes.begin(), idxTimes.end());
    idx.tailOffset = kTimeRecordsOffset;
    source.files[files.vih].bytes.assign(vih.begin(), vih.end());
    source.files[files.vid].bytes.assign(vid.begin(), vid.end());
}

// The files' buffers are kept from input to input.
inline BackupSetInput readBackupSetInput(Input& in, MemoryBackupSetSource& source) {
    BackupSetInput out;
    out.choices = in.u8();
    out.request.start = in.u32();
    out.request.end = in.u32();
    out.request.kind = static_cast<LocalPlayRequest::Kind>(((out.choices >> 1) & 3) % 3);
    const std::uint16_t headLength = in.u16(), timesLength = in.u16(), vihLength = in.u16();
    const std::span<const std::byte> head = in.take(headLength);
    static std::vector<std::byte> idxHead;
    idxHead.assign(head.begin(), head.end());
    constexpr std::size_t kCountAt = kSetSummaryOffset + 32; // SetSummary::segmentCount, LE
    const auto idxTimes = in.take(timesLength);
    if (idxHead.size() > kCountAt) {
        // A head that ends inside the count is completed with the zeros the file reads there,
        // so that its count is cut too.
        idxHead.resize(std::max<std::size_t>(idxHead.size(), kCountAt + 4));
        // Every segment entry is read twice (the catalog, the playlist): a dozen show every path
        // through them, a thousand only repeat them.
        std::uint32_t count = 0;
        for (int k = 3; k >= 0; --k)
            count = count << 8 | std::to_integer<std::uint32_t>(idxHead[kCountAt + k]);
        count = (out.choices & 0x10) ? std::min<std::uint32_t>(count, 16) : count & 7;
        for (int k = 0; k < 4; ++k)
            idxHead[kCountAt + k] = std::byte(count >> (8 * k));
    }
    const auto vih = in.take(vihLength);
    const auto vid = in.rest();
    putSet(source, firstSetFiles(), idxHead, idxTimes, vih, vid);
    if (out.choices & 8)
        putSet(source, secondSetFiles(), idxHead, idxTimes, vih, vid);
    else
        source.files.erase(secondSetFiles().idx);
    out.sets = discoverBackupSets(
        "/download", (out.choices & 1) ? SetTagSource::Data : SetTagSource::Index, source);
    return out;
}

} // namespace kalder::fuzz
