#pragma once

#include "export/av_handles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// A channel's pictures with the recorder time and the channel title drawn in: the recorded
// H.264 decoded, the two lines painted top-left (white on a dark box), and encoded again with
// libx264 at the same size. Every recorded frame gives one picture with its own time stamp, a
// key frame where the recording had one; a frame that does not decode repeats the picture before
// it. Used by one thread.
class PictureBurner {
public:
    struct Picture {
        std::int64_t ms = 0; // the recorded frame's time stamp
        bool key = false;
        std::vector<std::byte> bytes; // Annex B access unit
    };

    // Nothing, with `error`, when the decoder cannot be opened. The encoder opens with the first
    // picture, when its size is known.
    static std::unique_ptr<PictureBurner> create(std::string& error);
    ~PictureBurner();

    // One recorded frame at `ms` (RecorderTime `time`); the pictures finished so far are appended
    // to `out`. False, with error(), when the encoder fails.
    bool add(std::int64_t ms, bool key, std::span<const std::byte> unit, std::uint32_t time,
             const std::string& title, std::vector<Picture>& out);
    // What the encoder still holds.
    bool finish(std::vector<Picture>& out);

    // The encoder is open: a picture decoded.
    bool ready() const { return m_encoder != nullptr; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The encoder's Annex B SPS and PPS, for the container's header.
    std::vector<std::byte> parameterSets() const;
    const std::string& error() const { return m_error; }

private:
    PictureBurner() = default;
    bool openEncoder(const AVFrame* picture);
    bool burn(AVFrame* picture, std::int64_t ms, bool key, std::uint32_t time,
              const std::string& title, std::vector<Picture>& out);
    bool encode(const AVFrame* picture, std::vector<Picture>& out);
    void drawOverlay(AVFrame* picture, std::uint32_t time, const std::string& title);
    void prepareOverlay(std::uint32_t time, const std::string& title);
    bool fail(const std::string& what, int code);

    AvCodecContextPtr m_decoder, m_encoder;
    AvPacketPtr m_packet;
    AvFramePtr m_decoded, m_last;
    int m_width = 0, m_height = 0;
    // The overlay of the current text, as luma and chroma planes to blend in: per pixel the
    // coverage (0-255) and the colour already weighted by it.
    std::uint32_t m_overlayTime = 0;
    std::string m_overlayTitle;
    bool m_haveOverlay = false;
    int m_overlayWidth = 0, m_overlayHeight = 0;
    std::vector<std::uint8_t> m_lumaAlpha, m_lumaColour;
    std::vector<std::uint8_t> m_chromaAlpha, m_chromaU, m_chromaV;
    std::string m_error;
};

} // namespace kalder
