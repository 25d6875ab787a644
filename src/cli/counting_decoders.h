#pragma once

// The decoding side of the commands that receive video (live, play): channel decoders that
// count what the session hands them, and each channel's last picture.
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "decode/picture_store.h"
#include "decode/picture_target.h"
#include "post/call_poster.h"
#include "session/live_stream.h"
#include "wire/channel_count.h"
#include "wire/stream_kind.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kalder::cli {

// Nothing is drawn. Planar pictures, as the accelerated window draws them, so the decoder
// module converts nothing.
class CliPictureTarget final : public PictureTarget {
public:
    bool isAccelerated() const override { return true; }
};

// A channel's last picture of the run, kept for the summary and the snapshots.
struct ChannelPicture {
    bool decoded = false;
    PictureStore::Size size;
    std::vector<std::byte> bytes;
};

// After the decoders have stopped (or from any thread: under the channel's lock).
ChannelPicture takePicture(const PictureStore& pictures, unsigned channel);

// The picture as a PNG file; false when there is none or the file cannot be written.
bool saveSnapshot(const std::filesystem::path& file, unsigned channel,
                  const ChannelPicture& picture);

// Counters of one channel over the whole run, and the title of its last frame.
struct ChannelCounts {
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::uint64_t> keyFrames{0};
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint64_t> decoded{0};

    std::string lastTitle() const;
    void setLastTitle(std::string title);

private:
    mutable std::mutex m_titleMutex;
    std::string m_title; // guarded by m_titleMutex
};

// The channel decoder as the session sees it, counting what the session hands over.
class CountingConsumer final : public FrameConsumer {
public:
    CountingConsumer(std::unique_ptr<ChannelDecoder> decoder, ChannelCounts& counts)
        : m_decoder(std::move(decoder)), m_counts(counts) {}
    ~CountingConsumer() override;

    // Receive thread.
    void enqueueFrame(std::unique_ptr<FrameRecord> frame) override;
    bool discardAll() const override { return m_decoder->discardAll(); }
    void setDiscardAll() override { m_decoder->setDiscardAll(); }
    std::size_t queuedFrames() const override { return m_decoder->queuedFrames(); }
    void waitUntilDrained() override { m_decoder->waitUntilDrained(); }
    void stop() override { m_decoder->stop(); }
    void setVideoLoss(bool lost) override { m_decoder->setVideoLoss(lost); }
    bool videoLoss() const override { return m_decoder->videoLoss(); }

private:
    std::unique_ptr<ChannelDecoder> m_decoder;
    ChannelCounts& m_counts;
};

// Counting decoders of one kind of stream (live view or remote playback).
class CountingFactory final : public FrameConsumerFactory {
public:
    CountingFactory(StreamKind kind, const DecoderLibrary* library, PictureStore& pictures,
                    PictureTarget& target, DecodeHost& host)
        : m_kind(kind), m_library(library), m_pictures(pictures), m_target(target), m_host(host) {}

    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override;
    const ChannelCounts& counts(unsigned channel) const { return m_counts[channel]; }

private:
    const StreamKind m_kind;
    const DecoderLibrary* m_library;
    PictureStore& m_pictures;
    PictureTarget& m_target;
    DecodeHost& m_host;
    std::array<ChannelCounts, kChannelCount> m_counts;
};

class CliOutput;

// A played channel's line ({"event":"channel",...} or the text form), with `jsonExtra` (fields
// with their leading commas) before the title; then its picture saved into `snapshotDir` when
// one is given. Returns the usage exit status when the picture cannot be written, else 0.
int reportPlayedChannel(CliOutput& output, unsigned channel, const ChannelCounts& counts,
                        const ChannelPicture& picture, const std::string& snapshotDir,
                        const std::string& jsonExtra = {});

// A decoded picture of the channel saved as `snapshotDir`/chNN.png (nothing without a folder
// or a picture). Returns the usage exit status, after an error line, when the file cannot be
// written, else 0.
int saveChannelPicture(CliOutput& output, const std::string& snapshotDir, unsigned channel,
                       const ChannelPicture& picture);

// The error line for a decoder that could not be set up, printed on the GUI thread: the decode
// threads post it (DecodeHost::decoderInitFailed). Made on the GUI thread; what is still queued
// when it goes is dropped with it.
class DecoderInitNotice {
public:
    explicit DecoderInitNotice(CliOutput& output) : m_output(output) {}
    // Any thread.
    void post();

private:
    CliOutput& m_output;
    CallPoster m_calls;
};

// Creates `snapshotDir` when one is given. False (after an error line) when it cannot be made.
bool prepareSnapshotFolder(CliOutput& output, const std::string& snapshotDir);

// The decoder module beside the program; without it an error line says that nothing is decoded
// and the run goes on (frames are still counted).
std::unique_ptr<DecoderLibrary> openDecoderLibrary(CliOutput& output);

inline std::string boolText(bool value) {
    return value ? "true" : "false";
}

} // namespace kalder::cli
