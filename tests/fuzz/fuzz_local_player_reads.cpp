// The local player's reading step over a backup set of arbitrary contents (the layout is in
// fuzz_backup_set.h; bits 5-7 of the choices pick the play speed): the playlist of the request
// built, then the first entries' headers read forward and backward as the player thread reads
// them, each usable frame's bytes read and its sound looked for, and seeks into those entries. A
// usable frame lies inside the data file and its buffer; a seek lands inside the entry, on a
// header.
#include "fuzz_backup_set.h"
#include "local/local_frame_reader.h"
#include "local/local_player_rules.h"

#include <algorithm>
#include <cstdlib>

using namespace kalder;

namespace {

// Enough headers per entry and direction to pass every kind of frame a set holds (the fuzzer
// brings any frame to an entry's ends).
constexpr int kHeadersPerWalk = 8;

void checkFrame(const BackupSetFile& vid, const LocalFrame& frame, std::span<std::byte> buffer) {
    if (frame.status != LocalFrame::Status::Usable)
        return;
    const FrameDescriptor& d = frame.descriptor;
    if (d.channel >= kChannelCount || frame.frameBytes > buffer.size() ||
        !vid.holds(frame.header.vidOffset, frame.frameBytes) || d.blockLength > frame.frameBytes)
        std::abort(); // the player copies blockLength bytes of the frame to the decoder
    if (!readLocalFrameBytes(vid, frame, buffer))
        std::abort();
    (void)audioElementOf(d, buffer.first(frame.frameBytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryBackupSetSource source;
    static std::vector<std::byte> buffer(kFrameAssemblySize);
    fuzz::Input in(data, size);
    const fuzz::BackupSetInput input = fuzz::readBackupSetInput(in, source);
    const Playlist playlist = buildPlaylist(input.sets, input.request, source);
    const int speed = std::array{1, 2, 3, 4, -2, -3, -4, 1}[input.choices >> 5];

    FrameSelector selector;
    // The first entries only: a seek may walk every header of its entry, and a second set or
    // later segments repeat what the first ones show.
    const std::size_t entries = std::min<std::size_t>(playlist.entries.size(), 3);
    for (const PlaylistEntry& e : std::span(playlist.entries).first(entries)) {
        const auto idx = source.open(e.idxPath);
        const auto vih = source.open(e.vihPath);
        const auto vid = source.open(e.vidPath);
        if (!idx || !vih || !vid)
            std::abort(); // the playlist names only sets whose files opened
        std::uint64_t pos = e.forwardStart();
        for (int n = 0; n < kHeadersPerWalk && pos + kBackupFrameHeaderSize <= e.stopOffset; ++n) {
            const LocalFrame frame = readLocalFrame(*vih, *vid, pos, 0, buffer.size());
            if (frame.status == LocalFrame::Status::NoHeader)
                break;
            checkFrame(*vid, frame, buffer);
            if (frame.status == LocalFrame::Status::Usable)
                (void)selector.select(speed, frame.descriptor.channel, frame.descriptor.keyFrame());
            pos += kBackupFrameHeaderSize;
        }
        pos = e.stopOffset;
        for (int n = 0; n < kHeadersPerWalk && pos >= e.readBegin() + kBackupFrameHeaderSize; ++n) {
            pos -= kBackupFrameHeaderSize;
            const LocalFrame frame = readLocalFrame(*vih, *vid, pos, 1, buffer.size());
            if (frame.status == LocalFrame::Status::NoHeader)
                break;
            checkFrame(*vid, frame, buffer);
        }
        for (std::uint32_t target :
             {e.start, input.request.start, e.start / 2 + e.end / 2, e.end}) {
            const std::uint64_t at = localSeekPosition(*idx, *vih, e, target);
            // From a trusted time record on the header grid, else from the entry's first
            // header, one header at a time.
            if (at < e.readBegin() || at > std::max(e.readBegin(), e.stopOffset) ||
                ((at - kFirstFrameOffset) % kBackupFrameHeaderSize != 0 &&
                 (at - e.readBegin()) % kBackupFrameHeaderSize != 0))
                std::abort();
        }
    }
    return 0;
}
