#include "export/container_writer.h"

#include "export/subtitle_track.h"
#include "wire/recorder_time.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace kalder {

namespace {

constexpr AVRational kExportMsBase{1, 1000};
constexpr std::int64_t kSubtitleLongestMs = 1000;

// "YYYY-MM-DDThh:mm:ss.000000Z": the recorder's wall clock, written as the containers write
// a creation time.
std::string exportCreationTime(std::uint32_t time) {
    const CivilTime t = decodeRecorderTime(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000000Z", t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
    return text;
}

bool setExtradata(AVCodecParameters* par, std::span<const std::byte> bytes) {
    if (bytes.empty())
        return true;
    par->extradata =
        static_cast<std::uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata)
        return false;
    std::memcpy(par->extradata, bytes.data(), bytes.size());
    par->extradata_size = int(bytes.size());
    return true;
}

} // namespace

std::unique_ptr<ContainerWriter> ContainerWriter::open(const Setup& setup, std::string& error) {
    std::unique_ptr<ContainerWriter> w(new ContainerWriter);
    w->m_format = setup.format;
    const char* muxer = setup.format == ExportFormat::Mp4 ? "mp4" : "matroska";
    if (avformat_alloc_output_context2(&w->m_context, nullptr, muxer, nullptr) < 0 ||
        !w->m_context) {
        error = std::string("libavformat has no ") + muxer + " muxer";
        return nullptr;
    }
    AVFormatContext* oc = w->m_context;
    av_dict_set(&oc->metadata, "creation_time", exportCreationTime(setup.creationTime).c_str(), 0);
    if (!setup.title.empty())
        av_dict_set(&oc->metadata, "title", setup.title.c_str(), 0);

    w->m_video = avformat_new_stream(oc, nullptr);
    w->m_subtitle = avformat_new_stream(oc, nullptr);
    if (!w->m_video || !w->m_subtitle) {
        error = "out of memory";
        return nullptr;
    }
    AVCodecParameters* v = w->m_video->codecpar;
    v->codec_type = AVMEDIA_TYPE_VIDEO;
    v->codec_id = AV_CODEC_ID_H264;
    v->width = setup.width;
    v->height = setup.height;
    w->m_video->time_base = kExportMsBase;
    AVCodecParameters* s = w->m_subtitle->codecpar;
    s->codec_type = AVMEDIA_TYPE_SUBTITLE;
    s->codec_id = setup.format == ExportFormat::Mp4 ? AV_CODEC_ID_MOV_TEXT : AV_CODEC_ID_SUBRIP;
    s->width = setup.width;
    s->height = setup.height;
    w->m_subtitle->time_base = kExportMsBase;
    if (!setExtradata(v, setup.parameterSets) ||
        !setExtradata(s, subtitleConfiguration(setup.format))) {
        error = "out of memory";
        return nullptr;
    }
    if (!setup.title.empty())
        av_dict_set(&w->m_subtitle->metadata, "title", "Recorder time", 0);

    if (setup.audio) {
        w->m_audio =
            AudioTrack::create(setup.format, (oc->oformat->flags & AVFMT_GLOBALHEADER) != 0, error);
        if (!w->m_audio)
            return nullptr;
        w->m_audioStream = avformat_new_stream(oc, nullptr);
        if (!w->m_audioStream || !w->m_audio->parameters(w->m_audioStream->codecpar)) {
            error = "the audio track cannot be set up";
            return nullptr;
        }
        w->m_audioStream->time_base = AudioTrack::kTimeBase;
    }

    if (const int r = avio_open(&oc->pb, setup.path.c_str(), AVIO_FLAG_WRITE); r < 0) {
        error = "cannot create " + setup.path.string() + ": " + avErrorText(r);
        w->m_errorCode = r;
        return nullptr;
    }
    if (const int r = avformat_write_header(oc, nullptr); r < 0) {
        error = "cannot write the header of " + setup.path.string() + ": " + avErrorText(r);
        return nullptr;
    }
    w->m_pendingVideo.reset(av_packet_alloc());
    return w;
}

ContainerWriter::~ContainerWriter() {
    if (m_context) {
        if (m_context->pb)
            avio_closep(&m_context->pb);
        avformat_free_context(m_context);
    }
}

bool ContainerWriter::fail(const std::string& what, int code) {
    if (m_error.empty()) {
        m_error = what + ": " + avErrorText(code);
        m_errorCode = code;
    }
    return false;
}

bool ContainerWriter::write(AVPacket* packet, AVStream* stream, AVRational from) {
    if (!m_error.empty())
        return false;
    av_packet_rescale_ts(packet, from, stream->time_base);
    packet->stream_index = stream->index;
    if (const int r = av_interleaved_write_frame(m_context, packet); r < 0)
        return fail("writing failed", r);
    if (m_context->pb && m_context->pb->error < 0)
        return fail("writing failed", m_context->pb->error);
    return true;
}

bool ContainerWriter::flushVideo(std::int64_t nextMs) {
    if (m_lastVideoMs < 0)
        return true;
    AVPacket* p = m_pendingVideo.get();
    if (nextMs > m_lastVideoMs)
        m_lastDurationMs = nextMs - m_lastVideoMs;
    p->duration = m_lastDurationMs;
    return write(p, m_video, kExportMsBase);
}

bool ContainerWriter::writeVideo(std::int64_t ms, bool key, std::span<const std::byte> unit) {
    // Times only rise within a track: a recorder clock set back is carried on by a millisecond.
    if (m_lastVideoMs >= 0 && ms <= m_lastVideoMs)
        ms = m_lastVideoMs + 1;
    if (!flushVideo(ms))
        return false;
    AVPacket* p = m_pendingVideo.get();
    if (const int r = fillVideoPacket(p, ms, key, unit); r < 0)
        return fail("out of memory", r);
    m_lastVideoMs = ms;
    return true;
}

bool ContainerWriter::writeAudio(std::int64_t ms,
                                 std::span<const std::byte, kAudioElementBytes> element) {
    if (!m_audio)
        return true;
    return m_audio->add(ms * 8, element, [this](AVPacket* p) {
        return write(p, m_audioStream, AudioTrack::kTimeBase);
    });
}

bool ContainerWriter::flushSecond(std::int64_t nextMs) {
    if (m_secondMs < 0)
        return true;
    const std::vector<std::byte> sample = subtitleSample(m_format, m_secondText);
    AvPacketPtr p(av_packet_alloc());
    if (!p || av_new_packet(p.get(), int(sample.size())) < 0)
        return fail("out of memory", AVERROR(ENOMEM));
    std::memcpy(p->data, sample.data(), sample.size());
    p->pts = p->dts = m_secondMs;
    p->duration = std::clamp<std::int64_t>(nextMs - m_secondMs, 1, kSubtitleLongestMs);
    p->flags = AV_PKT_FLAG_KEY;
    m_secondMs = -1;
    return write(p.get(), m_subtitle, kExportMsBase);
}

bool ContainerWriter::writeSecond(std::int64_t ms, const std::string& text) {
    if (!flushSecond(ms))
        return false;
    m_secondMs = ms;
    m_secondText = text;
    return true;
}

bool ContainerWriter::close() {
    if (m_closed)
        return m_error.empty();
    m_closed = true;
    const std::int64_t endMs = m_lastVideoMs < 0 ? 0 : m_lastVideoMs + m_lastDurationMs;
    bool ok = flushSecond(endMs) && flushVideo(m_lastVideoMs + m_lastDurationMs);
    if (ok && m_audio)
        ok = m_audio->finish(
            [this](AVPacket* p) { return write(p, m_audioStream, AudioTrack::kTimeBase); });
    if (ok) {
        if (const int r = av_write_trailer(m_context); r < 0)
            ok = fail("writing the end of the file failed", r);
        else if (m_context->pb->error < 0)
            ok = fail("writing the end of the file failed", m_context->pb->error);
    }
    if (m_context->pb) {
        avio_flush(m_context->pb);
        const int flushError = m_context->pb->error;
        const int r = avio_closep(&m_context->pb);
        if (ok && flushError < 0)
            ok = fail("writing the file failed", flushError);
        if (ok && r < 0)
            ok = fail("closing the file failed", r);
    }
    return ok && m_error.empty();
}

} // namespace kalder
