#pragma once

#include "export/audio_track.h"
#include "export/av_handles.h"
#include "export/export_request.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// One channel's exported file, written with libavformat: the H.264 copied as it was recorded
// (time stamps in milliseconds from the file's first frame), the time subtitles and, when the
// channel carries sound, the audio track. It writes under `path` only; the caller renames the
// file once it is whole. Used by one thread.
class ContainerWriter {
public:
    struct Setup {
        std::filesystem::path path;
        ExportFormat format = ExportFormat::Mp4;
        std::uint16_t width = 0, height = 0;
        std::string title;
        std::uint32_t creationTime = 0; // recorder time of the first frame
        bool audio = false;
        std::vector<std::byte> parameterSets; // Annex B SPS and PPS of the first key frame
    };

    // Creates the file and writes the container's header; nothing, with `error`, on failure.
    static std::unique_ptr<ContainerWriter> open(const Setup& setup, std::string& error);
    ~ContainerWriter();

    // A frame `ms` after the file's start; the access unit is copied.
    bool writeVideo(std::int64_t ms, bool key, std::span<const std::byte> accessUnit);
    // A sound element carried by a frame `ms` after the file's start.
    bool writeAudio(std::int64_t ms, std::span<const std::byte, kAudioElementBytes> element);
    // The subtitle of a new second from `ms` on; it lasts until the next one, at most a second.
    bool writeSecond(std::int64_t ms, const std::string& text);
    // Ends every track, writes the trailer and closes the file, each step checked.
    bool close();

    bool hasAudio() const { return m_audio != nullptr; }
    // The first failure's text and libav code (AVERROR(ENOSPC) when the disk is full).
    const std::string& error() const { return m_error; }
    int errorCode() const { return m_errorCode; }

private:
    ContainerWriter() = default;
    bool write(AVPacket* packet, AVStream* stream, AVRational from);
    bool flushVideo(std::int64_t nextMs);
    bool flushSecond(std::int64_t nextMs);
    bool fail(const std::string& what, int code);

    ExportFormat m_format = ExportFormat::Mp4;
    AVFormatContext* m_context = nullptr; // owned; closed by close() or the destructor
    AVStream* m_video = nullptr;
    AVStream* m_subtitle = nullptr;
    AVStream* m_audioStream = nullptr;
    std::unique_ptr<AudioTrack> m_audio;
    AvPacketPtr m_pendingVideo; // the last frame, until the next one gives its duration
    std::int64_t m_lastVideoMs = -1, m_lastDurationMs = 33;
    std::int64_t m_secondMs = -1; // the waiting subtitle's start, -1 when none waits
    std::string m_secondText;
    bool m_closed = false;
    std::string m_error;
    int m_errorCode = 0;
};

} // namespace kalder
