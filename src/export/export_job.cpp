#include "export/export_job.h"

#include "export/container_writer.h"
#include "export/export_frame_source.h"
#include "export/export_manifest.h"
#include "export/h264_parameter_sets.h"
#include "export/picture_burner.h"
#include "export/subtitle_track.h"
#include "wire/recorder_time.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <system_error>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace kalder {

namespace {

// A channel's file is created once this much of it follows its first key frame (or the period
// ends): by then the frames have shown whether the channel carries sound.
constexpr std::int64_t kExportLookAheadMs = 2000;
// Progress is reported after this many frame headers.
constexpr std::uint64_t kExportProgressEvery = 256;

// A frame kept while its channel's file is not open yet.
struct HeldFrame {
    std::uint32_t frameTime = 0;
    std::int64_t ms = 0;
    bool key = false;
    std::vector<std::byte> video;
    std::optional<std::array<std::byte, kAudioElementBytes>> audio;
};

struct ChannelExport {
    bool started = false; // its first key frame came
    bool waitForKey = false;
    std::int64_t originMs = 0;
    std::uint32_t firstTime = 0, lastTime = 0;
    std::optional<std::uint32_t> lastSecond;
    std::uint64_t frames = 0;
    std::string title;
    std::uint32_t segmentKey = 0;
    std::vector<HeldFrame> held;
    bool heldAudio = false;
    std::vector<std::byte> parameterSets;
    std::uint16_t width = 0, height = 0;
    std::unique_ptr<ContainerWriter> writer;
    std::unique_ptr<PictureBurner> burner; // burn-in only
    std::filesystem::path temp, final;
    // A stretch left out that is still open: frames after a damaged one up to a key frame.
    std::optional<ExportGap> gap;
};

class ExportRun {
public:
    ExportRun(const ExportRequest& request, const std::atomic<bool>& stop,
              const std::function<void(const ExportProgress&)>& progress,
              const BackupSetSource& source)
        : m_request(request), m_stop(stop), m_progress(progress),
          m_source(request.setsFolder, request.from, request.to, source) {}

    ExportResult run();

private:
    void frame(const ExportFrame& f);
    bool openFile(unsigned channel);
    bool feed(ChannelExport& c, std::uint32_t frameTime, std::int64_t atMs, bool key,
              std::span<const std::byte> video,
              const std::optional<std::array<std::byte, kAudioElementBytes>>& audio);
    bool feed(ChannelExport& c, const HeldFrame& f) {
        return feed(c, f.frameTime, f.ms, f.key, f.video, f.audio);
    }
    void keep(unsigned ch, HeldFrame&& f);
    bool burnIn(unsigned ch, const ExportFrame& f);
    bool finishBurnIn(unsigned ch);
    void damage();
    void closeGap(ChannelExport& c);
    void closeUnknownGap();
    void leaveOut(unsigned channel, std::uint32_t time, const char* reason);
    void removeBegun();
    // The first failure of the run or of a file's writer.
    bool firstError(std::string& error);
    ExportResult failed(const std::string& error, int code);

    const ExportRequest& m_request;
    const std::atomic<bool>& m_stop;
    const std::function<void(const ExportProgress&)>& m_progress;
    ExportFrameSource m_source;
    std::array<ChannelExport, 16> m_channels;
    ExportResult m_result;
    // Damaged frames that did not say whose they were, one stretch until a whole frame comes.
    std::optional<ExportGap> m_unknownGap;
    std::string m_error;
    int m_errorCode = 0;
};

void ExportRun::leaveOut(unsigned channel, std::uint32_t time, const char* reason) {
    if (channel >= 1 && channel <= 16) {
        ChannelExport& c = m_channels[channel - 1];
        if (!c.gap)
            c.gap = ExportGap{channel, time, time, reason};
        c.gap->to = std::max(c.gap->to, time);
        return;
    }
    m_result.leftOut.push_back(ExportGap{channel, time, time, reason});
}

void ExportRun::closeGap(ChannelExport& c) {
    if (c.gap)
        m_result.leftOut.push_back(*c.gap);
    c.gap.reset();
}

void ExportRun::damage() {
    for (const ExportFrameSource::Damage& d : m_source.takeDamage()) {
        if (d.channel != 0 && !((m_request.channelMask >> (d.channel - 1)) & 1u))
            continue;
        // A channel that lost a frame decodes again from its next key frame; when the frame
        // did not say whose it was, every channel does.
        for (unsigned ch = 0; ch < 16; ++ch)
            if (d.channel == 0 || d.channel == ch + 1)
                if (m_channels[ch].started)
                    m_channels[ch].waitForKey = true;
        if (d.channel != 0) {
            leaveOut(d.channel, d.time, "damaged frames and those up to the next key frame");
        } else if (m_unknownGap && m_unknownGap->reason == d.reason) {
            m_unknownGap->to = std::max(m_unknownGap->to, d.time);
        } else {
            closeUnknownGap();
            m_unknownGap = ExportGap{0, d.time, d.time, d.reason};
        }
    }
}

void ExportRun::closeUnknownGap() {
    if (m_unknownGap)
        m_result.leftOut.push_back(*m_unknownGap);
    m_unknownGap.reset();
}

bool ExportRun::feed(ChannelExport& c, std::uint32_t frameTime, std::int64_t atMs, bool key,
                     std::span<const std::byte> video,
                     const std::optional<std::array<std::byte, kAudioElementBytes>>& audio) {
    const std::int64_t ms = atMs - c.originMs;
    if (!c.lastSecond || *c.lastSecond != frameTime) {
        c.lastSecond = frameTime;
        if (!c.writer->writeSecond(ms, subtitleText(frameTime, c.title)))
            return false;
    }
    if (!c.writer->writeVideo(ms, key, video))
        return false;
    if (audio && !c.writer->writeAudio(ms, *audio))
        return false;
    ++c.frames;
    c.lastTime = frameTime;
    return true;
}

bool ExportRun::openFile(unsigned ch) {
    ChannelExport& c = m_channels[ch];
    const std::string name = exportFileName(m_request.from, ch + 1, m_request.format);
    c.final = m_request.outFolder / name;
    c.temp = m_request.outFolder / ("." + name + ".part");
    ContainerWriter::Setup setup;
    setup.path = c.temp;
    setup.format = m_request.format;
    setup.width = c.width;
    setup.height = c.height;
    setup.title = c.title;
    setup.creationTime = c.firstTime;
    setup.audio = c.heldAudio;
    setup.parameterSets = c.parameterSets;
    if (c.burner) {
        if (!c.burner->ready()) {
            m_error = name + ": none of the channel's pictures decodes";
            m_errorCode = AVERROR_INVALIDDATA;
            return false;
        }
        setup.width = std::uint16_t(c.burner->width());
        setup.height = std::uint16_t(c.burner->height());
        setup.parameterSets = c.burner->parameterSets();
    }
    std::string error;
    c.writer = ContainerWriter::open(setup, error);
    if (!c.writer) {
        m_error = error;
        m_errorCode = AVERROR(errno);
        return false;
    }
    std::vector<HeldFrame> held;
    held.swap(c.held);
    for (const HeldFrame& f : held)
        if (!feed(c, f))
            return false;
    return true;
}

void ExportRun::frame(const ExportFrame& f) {
    const std::uint32_t segmentKey = f.segmentKey;
    if (f.channel >= 16 || !((m_request.channelMask >> f.channel) & 1u))
        return;
    ChannelExport& c = m_channels[f.channel];
    const unsigned channel = f.channel + 1u;
    if (c.started && segmentKey != c.segmentKey && !f.key) {
        // A new recording: its first frames lean on pictures that were never recorded.
        c.waitForKey = true;
        leaveOut(channel, f.frameTime, "frames of a new recording before its first key frame");
    }
    c.segmentKey = segmentKey;
    if (!c.started) {
        if (!f.key)
            return; // the lead before the first key frame
        c.started = true;
        c.originMs = f.ms;
        c.firstTime = f.frameTime;
        c.title = f.title;
        c.width = f.width;
        c.height = f.height;
        c.parameterSets = h264ParameterSets(f.video);
    }
    if (c.waitForKey) {
        if (!f.key) {
            leaveOut(channel, f.frameTime, "damaged frames and those up to the next key frame");
            return;
        }
        c.waitForKey = false;
        closeGap(c);
    }
    if (m_request.burnIn) {
        burnIn(f.channel, f);
        return;
    }
    if (c.writer) {
        // Straight from the reader's buffer into the container's packet.
        feed(c, f.frameTime, f.ms, f.key, f.video, f.audio);
        return;
    }
    keep(f.channel, HeldFrame{f.frameTime, f.ms, f.key, {f.video.begin(), f.video.end()}, f.audio});
}

void ExportRun::keep(unsigned ch, HeldFrame&& f) {
    ChannelExport& c = m_channels[ch];
    if (c.writer) {
        feed(c, f);
        return;
    }
    c.heldAudio = c.heldAudio || f.audio.has_value();
    const std::int64_t ms = f.ms;
    c.held.push_back(std::move(f));
    if (ms - c.originMs >= kExportLookAheadMs)
        openFile(ch);
}

bool ExportRun::burnIn(unsigned ch, const ExportFrame& f) {
    ChannelExport& c = m_channels[ch];
    if (!c.burner) {
        c.burner = PictureBurner::create(m_error);
        if (!c.burner) {
            m_errorCode = AVERROR(EINVAL);
            return false;
        }
    }
    std::vector<PictureBurner::Picture> pictures;
    const bool ok = c.burner->add(f.ms, f.key, f.video, f.frameTime, c.title, pictures);
    // The sound goes with the picture of its frame; the encoder holds none back.
    std::optional<std::array<std::byte, kAudioElementBytes>> audio = f.audio;
    for (PictureBurner::Picture& p : pictures) {
        keep(ch, HeldFrame{std::uint32_t(p.ms / 1000), p.ms, p.key, std::move(p.bytes), audio});
        audio.reset();
    }
    if (!ok) {
        m_error = "channel " + std::to_string(ch + 1) + ": " + c.burner->error();
        m_errorCode = AVERROR(EINVAL);
    }
    return ok;
}

bool ExportRun::finishBurnIn(unsigned ch) {
    ChannelExport& c = m_channels[ch];
    if (!c.burner)
        return true;
    std::vector<PictureBurner::Picture> pictures;
    const bool ok = c.burner->finish(pictures);
    for (PictureBurner::Picture& p : pictures)
        keep(ch, HeldFrame{std::uint32_t(p.ms / 1000), p.ms, p.key, std::move(p.bytes), {}});
    if (!ok) {
        m_error = "channel " + std::to_string(ch + 1) + ": " + c.burner->error();
        m_errorCode = AVERROR(EINVAL);
    }
    return ok;
}

void ExportRun::removeBegun() {
    for (ChannelExport& c : m_channels) {
        c.writer.reset();
        std::error_code ec;
        if (!c.temp.empty())
            std::filesystem::remove(c.temp, ec);
    }
}

ExportResult ExportRun::failed(const std::string& error, int code) {
    removeBegun();
    std::error_code ec;
    for (const ExportedFile& file : m_result.files)
        std::filesystem::remove(m_request.outFolder / file.name, ec);
    m_result.end = ExportResult::End::Failed;
    m_result.diskFull = code == AVERROR(ENOSPC);
    m_result.error = m_result.diskFull
                         ? "the disk of " + m_request.outFolder.string() + " is full: " + error
                         : error;
    m_result.files.clear();
    return m_result;
}

bool ExportRun::firstError(std::string& error) {
    if (!m_error.empty()) {
        error = m_error;
        return true;
    }
    for (const ChannelExport& c : m_channels)
        if (c.writer && !c.writer->error().empty()) {
            error = c.final.filename().string() + ": " + c.writer->error();
            m_errorCode = c.writer->errorCode();
            return true;
        }
    return false;
}

ExportResult ExportRun::run() {
    std::error_code ec;
    std::filesystem::create_directories(m_request.outFolder, ec);
    if (ec || !std::filesystem::is_directory(m_request.outFolder))
        return failed("cannot create the folder " + m_request.outFolder.string() + ": " +
                          ec.message(),
                      AVERROR(ec.value()));
    ExportFrame f;
    std::uint64_t reported = 0;
    while (m_source.next(f)) {
        if (m_stop.load(std::memory_order_relaxed)) {
            removeBegun();
            m_result.end = ExportResult::End::Stopped;
            return m_result;
        }
        damage();
        closeUnknownGap(); // a whole frame ends the stretch of damaged ones
        frame(f);
        if (std::string error; firstError(error))
            return failed(error, m_errorCode);
        if (m_progress && m_source.done() - reported >= kExportProgressEvery) {
            reported = m_source.done();
            m_progress({m_source.done(), m_source.total()});
        }
    }
    if (m_stop.load()) {
        removeBegun();
        m_result.end = ExportResult::End::Stopped;
        return m_result;
    }
    damage();
    closeUnknownGap();
    for (unsigned ch = 0; ch < 16; ++ch) {
        ChannelExport& c = m_channels[ch];
        closeGap(c);
        finishBurnIn(ch);
        if (c.started && !c.writer && m_error.empty())
            openFile(ch);
        if (c.writer)
            c.writer->close();
        if (std::string error; firstError(error))
            return failed(error, m_errorCode);
    }
    // Every file is whole: now they take their names, and only then is the export complete.
    for (unsigned ch = 0; ch < 16; ++ch) {
        ChannelExport& c = m_channels[ch];
        if (!c.writer)
            continue;
        std::filesystem::rename(c.temp, c.final, ec);
        if (ec)
            return failed("cannot name " + c.final.string() + ": " + ec.message(),
                          AVERROR(ec.value()));
        c.temp.clear();
        ExportedFile file;
        file.channel = ch + 1;
        file.name = c.final.filename().string();
        file.title = c.title;
        file.frames = c.frames;
        file.first = c.firstTime;
        file.last = c.lastTime;
        file.size = std::filesystem::file_size(c.final, ec);
        const std::optional<std::string> hash = fileSha256(c.final);
        if (ec || !hash)
            return failed("cannot read back " + c.final.string(), AVERROR(EIO));
        file.sha256 = *hash;
        m_result.files.push_back(std::move(file));
    }
    if (m_progress)
        m_progress({m_source.total(), m_source.total()});
    if (m_result.files.empty())
        return m_result;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::string error;
    if (!writeExportManifest(m_request, m_result,
                             std::chrono::duration_cast<std::chrono::seconds>(now).count(),
                             error)) {
        // A manifest that cannot be written leaves no export presented as complete.
        std::error_code space;
        const auto info = std::filesystem::space(m_request.outFolder, space);
        return failed(error, !space && info.available < 65536 ? AVERROR(ENOSPC) : AVERROR(EIO));
    }
    m_result.manifest = m_request.outFolder / kExportManifestName;
    return m_result;
}

} // namespace

const char* exportExtension(ExportFormat format) {
    return format == ExportFormat::Mp4 ? "mp4" : "mkv";
}

std::string exportFileName(std::uint32_t from, unsigned channel, ExportFormat format) {
    const CivilTime t = decodeRecorderTime(from);
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d_ch%02u.%s", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, channel, exportExtension(format));
    return name;
}

ExportResult runExport(const ExportRequest& request, const std::atomic<bool>& stop,
                       const std::function<void(const ExportProgress&)>& progress,
                       const BackupSetSource& source) {
    // The encoders' statistics are not for the operator; failures come back as results.
    if (av_log_get_level() > AV_LOG_ERROR)
        av_log_set_level(AV_LOG_ERROR);
    ExportRun run(request, stop, progress, source);
    return run.run();
}

} // namespace kalder
