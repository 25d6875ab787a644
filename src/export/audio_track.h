#pragma once

#include "export/av_handles.h"
#include "export/export_request.h"
#include "wire/frame_info.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// The channel's sound in an exported file: the recorder's 8 kHz mu-law elements, laid end to
// end while they follow each other and placed at their frame's time after a gap. MP4 gets AAC
// through libavcodec's own encoder, MKV the mu-law bytes as they are. Times are samples (1/8000
// s) from the file's start.
class AudioTrack {
public:
    // Hands a finished packet (time base 1/8000) to the container; false stops the export.
    using Write = std::function<bool(AVPacket*)>;

    // Nothing, with `error` set, when the encoder cannot be opened. `globalHeader`: the
    // container wants the decoder configuration apart from the packets.
    static std::unique_ptr<AudioTrack> create(ExportFormat format, bool globalHeader,
                                              std::string& error);
    ~AudioTrack();

    bool parameters(AVCodecParameters* out) const;
    static constexpr AVRational kTimeBase{1, 8000};

    // The element carried by a frame at `frameSample`.
    bool add(std::int64_t frameSample, std::span<const std::byte, kAudioElementBytes> element,
             const Write& write);
    // The last samples and what the encoder still holds.
    bool finish(const Write& write);

private:
    explicit AudioTrack(ExportFormat format) : m_format(format) {}
    bool encode(const AVFrame* frame, const Write& write);
    bool sendBuffered(bool last, const Write& write);

    ExportFormat m_format;
    AvCodecContextPtr m_encoder; // MP4 only
    AvPacketPtr m_packet;
    AvFramePtr m_frame;
    std::int64_t m_next = -1;     // where the next element follows on; -1 before the first
    std::vector<float> m_pending; // MP4: samples not yet encoded, from m_pendingStart
    std::int64_t m_pendingStart = 0;
    std::int64_t m_encodedEnd = 0; // MP4: end of the samples handed to the encoder
};

} // namespace kalder
