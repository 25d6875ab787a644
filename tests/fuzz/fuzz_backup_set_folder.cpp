// A download folder with a backup set of arbitrary contents (the layout is in fuzz_backup_set.h),
// read as local search and local play read it: the sets discovered and ordered, their segment
// entries listed, and a playlist built for a request (which reads the time records and the frame
// headers the entries point at).
#include "fuzz_backup_set.h"

#include <cstdlib>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryBackupSetSource source;
    fuzz::Input in(data, size);
    const fuzz::BackupSetInput input = fuzz::readBackupSetInput(in, source);
    if (input.sets.size() > ((input.choices & 8) ? 2u : 1u))
        std::abort();
    for (const BackupSetInfo& set : input.sets)
        if (readSegmentEntries(set, source).size() > kMaxSetSegments)
            std::abort();
    const Playlist playlist = buildPlaylist(input.sets, input.request, source);
    for (std::size_t i = 0; i < playlist.entries.size(); ++i)
        (void)runSpan(playlist, i);
    return 0;
}
