#include "export/audio_track.h"

#include <cstdlib>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace kalder {

namespace {

constexpr int kAudioSampleRate = 8000;
constexpr std::int64_t kAudioBitRate = 24000;
// An element that lands within this many samples of where the last one ended follows on.
constexpr std::int64_t kAudioFollowSamples = std::int64_t(kAudioElementBytes);

// G.711 mu-law to a sample in [-1, 1).
float exportMuLawToFloat(std::uint8_t code) {
    code = static_cast<std::uint8_t>(~code);
    const int exponent = (code >> 4) & 0x07;
    const int mantissa = code & 0x0F;
    const int magnitude = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return float((code & 0x80) ? -magnitude : magnitude) / 32768.0f;
}

} // namespace

std::unique_ptr<AudioTrack> AudioTrack::create(ExportFormat format, bool globalHeader,
                                               std::string& error) {
    std::unique_ptr<AudioTrack> track(new AudioTrack(format));
    track->m_packet.reset(av_packet_alloc());
    if (format == ExportFormat::Mkv)
        return track;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        error = "libavcodec has no AAC encoder";
        return nullptr;
    }
    track->m_encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = track->m_encoder.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = kAudioSampleRate;
    c->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    c->bit_rate = kAudioBitRate;
    c->time_base = kTimeBase;
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int r = avcodec_open2(c, codec, nullptr); r < 0) {
        error = "the AAC encoder cannot be opened: " + avErrorText(r);
        return nullptr;
    }
    track->m_frame.reset(av_frame_alloc());
    return track;
}

AudioTrack::~AudioTrack() = default;

bool AudioTrack::parameters(AVCodecParameters* out) const {
    if (m_encoder)
        return avcodec_parameters_from_context(out, m_encoder.get()) >= 0;
    out->codec_type = AVMEDIA_TYPE_AUDIO;
    out->codec_id = AV_CODEC_ID_PCM_MULAW;
    out->sample_rate = kAudioSampleRate;
    out->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    out->bits_per_coded_sample = 8;
    out->block_align = 1;
    out->bit_rate = 64000;
    return true;
}

bool AudioTrack::add(std::int64_t frameSample,
                     std::span<const std::byte, kAudioElementBytes> element, const Write& write) {
    // Elements that follow each other are laid end to end; after a gap (or a jump of the
    // recorder's clock) the element goes to its frame's time, never over sound already placed.
    std::int64_t at = frameSample;
    if (m_next >= 0 && std::llabs(frameSample - m_next) < kAudioFollowSamples)
        at = m_next;
    if (m_next >= 0 && at < m_next)
        at = m_next;

    if (!m_encoder) {
        m_packet->data =
            const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(element.data()));
        m_packet->size = int(element.size());
        m_packet->pts = m_packet->dts = at;
        m_packet->duration = std::int64_t(element.size());
        m_packet->flags = AV_PKT_FLAG_KEY;
        m_packet->time_base = kTimeBase;
        const bool ok = write(m_packet.get());
        m_packet->data = nullptr;
        m_packet->size = 0;
        m_next = at + std::int64_t(element.size());
        return ok;
    }

    if (!m_pending.empty() && at != m_pendingStart + std::int64_t(m_pending.size())) {
        // A gap: what waits goes out padded with silence to a whole encoder frame.
        if (!sendBuffered(false, write))
            return false;
        at = std::max(at, m_encodedEnd);
    }
    if (m_pending.empty())
        m_pendingStart = std::max(at, m_encodedEnd);
    for (std::byte b : element)
        m_pending.push_back(exportMuLawToFloat(std::to_integer<std::uint8_t>(b)));
    m_next = m_pendingStart + std::int64_t(m_pending.size());
    const std::size_t frameSize = std::size_t(m_encoder->frame_size);
    while (m_pending.size() >= frameSize)
        if (!sendBuffered(false, write))
            return false;
    return true;
}

// Sends one encoder frame from the front of the pending samples: a whole frame, padded with
// silence when fewer wait, or, when `last`, whatever is left (the encoder takes a short last
// frame).
bool AudioTrack::sendBuffered(bool last, const Write& write) {
    const std::size_t frameSize = std::size_t(m_encoder->frame_size);
    const std::size_t take = std::min(m_pending.size(), frameSize);
    const std::size_t samples = last ? take : frameSize;
    if (samples == 0)
        return true;
    AVFrame* f = m_frame.get();
    av_frame_unref(f);
    f->format = AV_SAMPLE_FMT_FLTP;
    f->sample_rate = kAudioSampleRate;
    f->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    f->nb_samples = int(samples);
    if (av_frame_get_buffer(f, 0) < 0)
        return false;
    float* out = reinterpret_cast<float*>(f->data[0]);
    std::fill(out, out + samples, 0.0f);
    std::copy_n(m_pending.begin(), take, out);
    f->pts = m_pendingStart;
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(take));
    m_encodedEnd = m_pendingStart + std::int64_t(samples);
    m_pendingStart += std::int64_t(take);
    return encode(f, write);
}

bool AudioTrack::encode(const AVFrame* frame, const Write& write) {
    if (avcodec_send_frame(m_encoder.get(), frame) < 0)
        return false;
    for (;;) {
        const int r = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return false;
        m_packet->time_base = kTimeBase;
        const bool ok = write(m_packet.get());
        av_packet_unref(m_packet.get());
        if (!ok)
            return false;
    }
}

bool AudioTrack::finish(const Write& write) {
    if (!m_encoder)
        return true;
    while (!m_pending.empty())
        if (!sendBuffered(m_pending.size() < std::size_t(m_encoder->frame_size), write))
            return false;
    return encode(nullptr, write);
}

} // namespace kalder
