#pragma once

#include "decode/picture_target.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kalder {

// Layout of a picture as the picture buffer holds it once a decode thread has handed it over.
enum class PictureLayout {
    // Planar YUV 4:2:0; 480- and 576-line pictures hold their first field in the upper half
    // and their second field in the lower half of each plane.
    Planar,
    // 24-bit BGR, last display row first; 480- and 576-line pictures show their second field
    // line-doubled.
    BottomUpBgr,
};

// A decoded picture, valid only during the call it is passed to (the caller holds the
// channel's picture lock: copy what you need and return).
struct PictureView {
    unsigned channel = 0;
    int width = 0;
    int height = 0;
    PictureLayout layout = PictureLayout::Planar;
    std::span<const std::byte> bytes;
    // Seconds since 1970 of the recorder's clock (live) or of the player's clock; 0 unknown.
    std::int64_t frameTimeSeconds = 0;
};

// What a channel's decode thread asks of the rest of the client. All functions are called on
// decode threads (several at once, one per channel); the defaults do nothing, so that a front
// end implements only what it has.
class DecodeHost {
public:
    virtual ~DecodeHost() = default;

    // Whether a session exists and its live view runs, and whether the channel is covert for
    // a user without the covert-view right. Frames of a channel with video loss or hidden this
    // way are dropped while live view runs.
    struct LiveVisibility {
        bool liveOn = false;
        bool covertHidden = false;
    };
    virtual LiveVisibility liveVisibility(unsigned /*channel*/) { return {}; }

    // The time the playback clock shows (remote or local playback); nothing without a clock.
    virtual std::optional<std::int64_t> playbackClockSeconds(StreamKind /*kind*/) {
        return std::nullopt;
    }

    // A picture is about to be drawn: build the channel's overlay texts and marks.
    struct OverlayFacts {
        unsigned channel = 0;
        StreamKind kind = StreamKind::Live;
        int width = 0;
        int height = 0;
        std::string_view title; // the frame's title field (players); empty in live view
        CellSize cell;
    };
    virtual void composeOverlay(const OverlayFacts& /*facts*/) {}

    // Web export: the interval setting while the export is active and its folder is set.
    virtual std::optional<int> webExportInterval() { return std::nullopt; }
    virtual void exportWebPicture(const PictureView& /*picture*/) {}

    // Snapshot: true once for each request of the channel (the request is cleared by it).
    virtual bool takeSnapshotRequest(unsigned /*channel*/) { return false; }
    // Whether a request of the channel waits, without taking it: the snapshot is taken from
    // a fully decoded picture.
    virtual bool snapshotRequested(unsigned /*channel*/) { return false; }
    // The date format setting: 0 year first, 1 month first, 2 day first.
    virtual int dateFormat() { return 0; }
    virtual void saveSnapshot(const PictureView& /*picture*/, std::string_view /*timeText*/) {}

    // PT_H264dec_Init failed when the thread started ("H.264 Decoder Init Error !").
    virtual void decoderInitFailed(unsigned /*channel*/) {}
    // The thread of the channel ends: its overlay marks are cleared.
    virtual void decodeThreadEnded(unsigned /*channel*/) {}
};

} // namespace kalder
