#pragma once

#include "files/backup_set_records.h"
#include "local/backup_set_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace kalder {

// One backup set found in a download folder: its files, the links that chain sets split by the
// size rollover, and its summary.
struct BackupSetInfo {
    std::uint32_t id = 0; // the first eight characters of the name, as hexadecimal
    std::filesystem::path idx, vih, vid;
    std::uint32_t continuationLink = 0; // .idx FileHeader: the rollover that opened this set
    std::uint32_t nextSetLink = 0;      // .idx FileTrailer: the rollover that closed it
    bool openMagicValid = false;        // the .idx FileHeader carries the open magic
    SetSummary summary;                 // zero for a set that was never closed
    bool joinedPrev = false;            // continues the set before it in play order
    bool joinedNext = false;            // continued by the set after it
};

// Where the tag that makes a set valid is read: the panels read it from the .idx, the play
// request from the .vid.
enum class SetTagSource { Index, Data };

// A download folder holds at most this many sets that are looked at.
inline constexpr std::size_t kMaxBackupSets = 100000;

// Lists "*.idx" in `folder` and reads each valid set's links and summary, then orders them
// (orderBackupSets). A set whose files cannot be read is left out; nothing fails.
std::vector<BackupSetInfo>
discoverBackupSets(const std::filesystem::path& folder, SetTagSource tagSource,
                   const BackupSetSource& source = BackupSetSource::fileSystem());

// Play order: by earliest start, then every set whose next-set link is non-zero gets the set
// whose continuation link equals it moved directly behind it, so that the sets of one long
// transfer stay adjacent; finally the joined flags of neighbours whose links match.
void orderBackupSets(std::vector<BackupSetInfo>& sets);

// The segment entries of a set's summary, read from its .idx: at most the summary's count and
// never past the slots; an entry whose bytes are not all there ends the list.
std::vector<SegmentEntry>
readSegmentEntries(const BackupSetInfo& set,
                   const BackupSetSource& source = BackupSetSource::fileSystem());

} // namespace kalder
