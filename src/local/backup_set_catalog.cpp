#include "local/backup_set_catalog.h"

#include "local/backup_set_file.h"

#include <algorithm>
#include <array>

namespace kalder {

namespace {

// Reads the links and the summary of one set; false when it is not a valid set.
bool readSet(const BackupSetSource& source, const std::filesystem::path& idxPath,
             SetTagSource tagSource, BackupSetInfo& set) {
    const std::string name = idxPath.filename().string();
    const std::optional<std::uint32_t> id = backupSetId(name);
    if (!id)
        return false;
    set.id = *id;
    set.idx = idxPath;
    set.vih = idxPath;
    set.vih.replace_extension(".vih");
    set.vid = idxPath;
    set.vid.replace_extension(".vid");

    const std::optional<BackupSetFile> idx = source.open(set.idx);
    if (!idx)
        return false;
    std::array<std::byte, kFileHeaderSize> header{};
    std::array<std::byte, kSetSummarySize> summary{};
    if (!idx->read(0, header) || !idx->read(kSetSummaryOffset, summary))
        return false;

    if (tagSource == SetTagSource::Index) {
        if (!backupTagValid(std::span(header).first(kBackupTagSize)))
            return false;
    } else {
        const std::optional<BackupSetFile> vid = source.open(set.vid);
        std::array<std::byte, kBackupTagSize> tag{};
        if (!vid || !vid->read(0, tag) || !backupTagValid(tag))
            return false;
    }

    const std::optional<FileHeader> fileHeader = decodeFileHeader(header);
    const std::optional<SetSummary> setSummary = decodeSetSummary(summary);
    if (!fileHeader || !setSummary)
        return false;
    set.openMagicValid = fileHeader->magic == kSetOpenMagic;
    set.continuationLink = fileHeader->continuationLink;
    set.summary = *setSummary;
    // A set the program never closed has no trailer: its last bytes are time records, not a
    // link, so the link is taken only from a trailer that carries the close magic.
    set.nextSetLink = 0;
    if (idx->size() >= kTimeRecordsOffset + kFileTrailerSize) {
        std::array<std::byte, kFileTrailerSize> trailer{};
        if (idx->read(idx->size() - kFileTrailerSize, trailer)) {
            const std::optional<FileTrailer> fileTrailer = decodeFileTrailer(trailer);
            if (fileTrailer && fileTrailer->magic == kSetCloseMagic)
                set.nextSetLink = fileTrailer->nextSetLink;
        }
    }
    return true;
}

} // namespace

std::vector<BackupSetInfo> discoverBackupSets(const std::filesystem::path& folder,
                                              SetTagSource tagSource,
                                              const BackupSetSource& source) {
    std::vector<std::filesystem::path> indexes = source.list(folder, ".idx", kMaxBackupSets);
    // The folder's listing order is the file system's: sort by name so that sets with equal
    // starts keep one order from run to run.
    std::sort(indexes.begin(), indexes.end());
    std::vector<BackupSetInfo> sets;
    for (const std::filesystem::path& path : indexes) {
        BackupSetInfo set;
        if (readSet(source, path, tagSource, set))
            sets.push_back(std::move(set));
    }
    orderBackupSets(sets);
    return sets;
}

void orderBackupSets(std::vector<BackupSetInfo>& sets) {
    std::stable_sort(sets.begin(), sets.end(), [](const BackupSetInfo& a, const BackupSetInfo& b) {
        return a.summary.earliestStart < b.summary.earliestStart;
    });
    for (std::size_t i = 0; i < sets.size(); ++i) {
        sets[i].joinedPrev = sets[i].joinedNext = false;
        const std::uint32_t link = sets[i].nextSetLink;
        if (link == 0)
            continue;
        // Only a set after this one moves forward, so a chain whose sets were sorted apart
        // (or a damaged link pointing back) can never loop.
        for (std::size_t j = i + 1; j < sets.size(); ++j) {
            if (sets[j].continuationLink != link)
                continue;
            if (j != i + 1) {
                BackupSetInfo moved = std::move(sets[j]);
                sets.erase(sets.begin() + static_cast<std::ptrdiff_t>(j));
                sets.insert(sets.begin() + static_cast<std::ptrdiff_t>(i + 1), std::move(moved));
            }
            break;
        }
    }
    for (std::size_t i = 1; i < sets.size(); ++i) {
        const bool joined =
            sets[i].continuationLink != 0 && sets[i].continuationLink == sets[i - 1].nextSetLink;
        sets[i].joinedPrev = joined;
        sets[i - 1].joinedNext = joined;
    }
}

std::vector<SegmentEntry> readSegmentEntries(const BackupSetInfo& set,
                                             const BackupSetSource& source) {
    std::vector<SegmentEntry> entries;
    const std::optional<BackupSetFile> idx = source.open(set.idx);
    if (!idx)
        return entries;
    const std::size_t count = std::min<std::size_t>(set.summary.segmentCount, kMaxSetSegments);
    // At most the slots the file holds: the count is the file's word, the size is not.
    const std::uint64_t slotsInFile =
        idx->size() > kSegmentSlotsOffset ? (idx->size() - kSegmentSlotsOffset) / kSegmentEntrySize
                                          : 0;
    entries.reserve(std::min<std::uint64_t>(count, slotsInFile));
    std::array<std::byte, kSegmentEntrySize> bytes{};
    for (std::size_t n = 0; n < count; ++n) {
        if (!idx->read(segmentSlotOffset(n), bytes))
            break;
        const std::optional<SegmentEntry> entry = decodeSegmentEntry(bytes);
        if (!entry)
            break;
        entries.push_back(*entry);
    }
    return entries;
}

} // namespace kalder
