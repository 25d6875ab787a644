#pragma once

#include "files/backup_set_records.h"
#include "local/backup_set_file.h"
#include "local/local_playlist.h"
#include "wire/frame_info.h"

#include <cstdint>
#include <span>

namespace kalder {

// The player's reading step, apart from its thread, pacing and decoders: what the frame header
// at one .vih offset says and whether its frame in the .vid may be handed to a decoder.
struct LocalFrame {
    enum class Status {
        NoHeader, // the .vih has no whole header there: the entry ends early
        Damaged,  // a header whose frame is unusable or lies outside the .vid: skipped
        Usable,
    };
    Status status = Status::NoHeader;
    BackupFrameHeader header;
    FrameDescriptor descriptor;   // Usable only
    std::uint64_t frameBytes = 0; // Usable only: the info block, video and audio
};

// Reads the header at `at` and its frame's info block. A frame is usable when its block decodes,
// its picture size is one a decoder takes, its channel is one of the sixteen, and all of its
// bytes lie inside the .vid and fit `bufferSize`. `restarts` goes into the descriptor.
LocalFrame readLocalFrame(const BackupSetFile& vih, const BackupSetFile& vid, std::uint64_t at,
                          std::uint32_t restarts, std::size_t bufferSize);

// The usable frame's bytes into the front of `buffer` (at least frame.frameBytes long).
bool readLocalFrameBytes(const BackupSetFile& vid, const LocalFrame& frame,
                         std::span<std::byte> buffer);

// Where a seek to `target` starts reading in the entry: the header its time record names (a
// record outside the entry or off the header grid is not trusted: the entry's first header),
// then forward over the headers until one reaches the target. Always inside
// [readBegin(), stopOffset] (readBegin() for an empty entry).
std::uint64_t localSeekPosition(const BackupSetFile& idx, const BackupSetFile& vih,
                                const PlaylistEntry& entry, std::uint32_t target);

} // namespace kalder
