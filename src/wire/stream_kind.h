#pragma once

namespace kalder {

// What a stream carries to the client: nothing, live view, remote playback of the recorder's
// disk, or local playback of a backup file. Decoders, the audio player and the overlays take it.
enum class StreamKind { Idle = 0, Live = 1, RemotePlayback = 2, LocalPlayback = 3 };

} // namespace kalder
