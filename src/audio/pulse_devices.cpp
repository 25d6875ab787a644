// The playback and capture streams over libpulse's simple API: each stream has its own
// connection and is driven by one thread of ours (the output or the input thread).
#include "audio/audio_trace.h"
#include "audio/sound_device.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cstdint>

namespace kalder {

namespace {

constexpr const char* kClientName = "Kalder";

pa_sample_spec muLawSpec() {
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_ULAW;
    spec.rate = kAudioSampleRate;
    spec.channels = 1;
    return spec;
}

struct SimpleStream {
    explicit SimpleStream(pa_simple* s) : stream(s) {}
    ~SimpleStream() {
        if (stream)
            pa_simple_free(stream);
    }
    SimpleStream(const SimpleStream&) = delete;
    SimpleStream& operator=(const SimpleStream&) = delete;
    pa_simple* stream;
};

class PulsePlayback final : public PlaybackDevice {
public:
    explicit PulsePlayback(pa_simple* stream) : m_stream(stream) {}
    ~PulsePlayback() override {
        int error = 0;
        // What was written is played out only while the output runs; a reset dropped it.
        pa_simple_flush(m_stream.stream, &error);
    }
    bool write(std::span<const std::byte> bytes) override {
        int error = 0;
        if (pa_simple_write(m_stream.stream, bytes.data(), bytes.size(), &error) < 0) {
            audioTrace("playback write: %s", pa_strerror(error));
            return false;
        }
        return true;
    }
    void reset() override {
        int error = 0;
        if (pa_simple_flush(m_stream.stream, &error) < 0)
            audioTrace("playback flush: %s", pa_strerror(error));
    }

private:
    SimpleStream m_stream;
};

class PulseCapture final : public CaptureDevice {
public:
    explicit PulseCapture(pa_simple* stream) : m_stream(stream) {}
    bool read(std::span<std::byte> bytes) override {
        int error = 0;
        if (pa_simple_read(m_stream.stream, bytes.data(), bytes.size(), &error) < 0) {
            audioTrace("capture read: %s", pa_strerror(error));
            return false;
        }
        return true;
    }

private:
    SimpleStream m_stream;
};

} // namespace

// The stream opens at the server's own stream volume. The volume slider acts on the default
// sink through MixerControl; giving the stream the slider's value as well would apply it twice
// (half the slider would sound as a quarter).
std::unique_ptr<PlaybackDevice> openPlaybackDevice(std::size_t bufferBytes) {
    const pa_sample_spec spec = muLawSpec();
    // The server holds at most the player's three buffers; playing starts once they are there.
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(3 * bufferBytes);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, kClientName, PA_STREAM_PLAYBACK, nullptr,
                                      "Recorder audio", &spec, nullptr, &attr, &error);
    if (!stream) {
        audioTrace("playback open: %s", pa_strerror(error));
        return nullptr;
    }
    return std::make_unique<PulsePlayback>(stream);
}

std::unique_ptr<CaptureDevice> openCaptureDevice(std::size_t fragmentBytes) {
    const pa_sample_spec spec = muLawSpec();
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(fragmentBytes);
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, kClientName, PA_STREAM_RECORD, nullptr,
                                      "Talk to the recorder", &spec, nullptr, &attr, &error);
    if (!stream) {
        audioTrace("capture open: %s", pa_strerror(error));
        return nullptr;
    }
    return std::make_unique<PulseCapture>(stream);
}

} // namespace kalder
