// kalder-bench-video: sixteen D1 channels at 30 frames/s each in the 16-cell video window, on one
// drawing path, against the same channels decoded without a window.
//
//   kalder-bench-video [--path gl|rgb|planar-sw] [--clip FILE] [--seconds S] [--rounds N]
//                      [--no-osd] [--zoomed]
//       --zoomed: each round has a third phase with every cell digitally zoomed 2x, and the
//       CPU per picture of the zoomed cells is set against the unzoomed ones of the same round
//   kalder-bench-video --sim [--path rgb|planar-sw] [--warm-up S] [--seconds S] [--rounds N]
//                            [--encoder-preset NAME] [--against-cli | --one-cell | --site]
//       the desktop client itself (kalder --connect) against kalder-recorder-sim, on both
//       software paths or one: its CPU per shown picture in the 16-cell layout with faster
//       small cells off and on, against sixteen real-time ffmpeg decoders of the same stream;
//       zoomed to one cell against one such decoder; minimized against the 16 cells shown.
//       With --against-cli: beside kalder-cli live on the same streams at the same time;
//       with --one-cell: only the cell zoomed to the whole video area against one decoder;
//       with --site: the 16 cells of a site of four recorders of four channels each against
//       those of one recorder of sixteen channels (CPU per shown picture, RSS), 3 rounds
//       gl: planar pictures drawn by the OpenGL surface (needs a display with OpenGL);
//       rgb: BGR pictures scaled by the decode threads, painted by the GUI thread;
//       planar-sw: planar pictures converted in software (the fallback without OpenGL)
//
// Rounds of two phases of S seconds with the same paced frames: decode only (the pictures go
// nowhere), then decode and draw. Prints the pictures shown per second against those received, the
// process's CPU time of both phases and their ratio, and the delay from a frame's arrival (its
// hand-over to the channel's decoder) to the end of the paint that showed its picture.

#include "bench_clip.h"
#include "desktop_run.h"
#include "null_picture_target.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "video/video_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QPaintEvent>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kalder;
using namespace kalder::bench;

constexpr int kFps = 30;

// Arrival times of each channel's frames, in the order they were handed over.
struct Arrivals {
    std::mutex lock;
    std::array<std::vector<Clock::time_point>, kChannelCount> times; // guarded by lock
    // Index of each channel's first key frame: pictures are counted from it.
    std::array<long, kChannelCount> firstKey{};
};

// The window seen by the decode threads, counting the pictures each channel hands over.
class CountingTarget final : public PictureTarget {
public:
    explicit CountingTarget(PictureTarget& inner) : m_inner(inner) {}
    bool isAccelerated() const override { return m_inner.isAccelerated(); }
    void prepareSurface(unsigned c, int w, int h) override { m_inner.prepareSurface(c, w, h); }
    void pictureCleared(unsigned c) override { m_inner.pictureCleared(c); }
    // Called under the picture lock: the count names the picture now in the buffer.
    void drawChannel(unsigned c) override {
        m_inner.drawChannel(c);
        m_drawn[c].fetch_add(1);
    }
    CellSize cellSize(unsigned c) const override { return m_inner.cellSize(c); }
    void countFrame(unsigned c) override { m_inner.countFrame(c); }

    long drawn(unsigned c) const { return m_drawn[c].load(); }

private:
    PictureTarget& m_inner;
    std::array<std::atomic<long>, kChannelCount> m_drawn{};
};

// Overlays as the main window composes them in live view.
class OverlayHost final : public DecodeHost {
public:
    explicit OverlayHost(VideoWindow* window) : m_window(window) {}
    void composeOverlay(const OverlayFacts& facts) override {
        if (m_window)
            m_window->feed().composeOverlay(facts, "Camera", "Live", {});
    }

private:
    VideoWindow* m_window;
};

// Watches the paints of the widget that shows the pictures and, at the end of each, notes
// which channels' newest pictures it showed and how long after their frames' arrival.
class PaintWatcher final : public QObject {
public:
    PaintWatcher(VideoWindow& window, QWidget& painted, CountingTarget& target, Arrivals& arrivals)
        : m_window(window), m_painted(painted), m_target(target), m_arrivals(arrivals) {
        m_shown.fill(0);
        painted.installEventFilter(this);
    }

    std::vector<double> delaysMs; // GUI thread
    long shown = 0;
    long paints = 0;
    double paintMs = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object != &m_painted || event->type() != QEvent::Paint || m_inside)
            return false;
        const QRegion region = static_cast<QPaintEvent*>(event)->region();
        std::array<long, kChannelCount> drawn{};
        for (unsigned c = 0; c < kChannelCount; ++c)
            drawn[c] = m_target.drawn(c);
        // Deliver the paint here, to take the time at its end.
        const auto begin = Clock::now();
        m_inside = true;
        object->event(event);
        m_inside = false;
        const auto now = Clock::now();
        ++paints;
        paintMs += std::chrono::duration<double, std::milli>(now - begin).count();
        const auto& layout = m_window.layoutModel();
        std::lock_guard lock(m_arrivals.lock);
        for (unsigned c = 0; c < kChannelCount; ++c) {
            if (drawn[c] <= m_shown[c])
                continue;
            const CellRect cell = layout.cellRect(layout.cellOfChannel(static_cast<int>(c)));
            if (!region.intersects(QRect(cell.left, cell.top, cell.width(), cell.height())))
                continue;
            m_shown[c] = drawn[c];
            ++shown;
            // Picture n (from 1) is frame firstKey + n - 1 of the channel.
            const auto index = static_cast<std::size_t>(m_arrivals.firstKey[c] + drawn[c] - 1);
            if (index < m_arrivals.times[c].size()) {
                delaysMs.push_back(
                    std::chrono::duration<double, std::milli>(now - m_arrivals.times[c][index])
                        .count());
            }
        }
        return true;
    }

private:
    VideoWindow& m_window;
    QWidget& m_painted;
    CountingTarget& m_target;
    Arrivals& m_arrivals;
    std::array<long, kChannelCount> m_shown{};
    bool m_inside = false;
};

struct PhaseResult {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    std::uint64_t enqueued = 0;
    std::uint64_t decoded = 0;
    std::uint64_t skipped = 0;
    std::uint64_t waiting = 0;
};

// Runs the GUI's event loop (paints) until `done`, looking every few milliseconds; the GUI
// thread sleeps in between, as the client's does.
template <typename Done> void waitWhileServingEvents(Done done) {
    if (done())
        return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start();
    loop.exec();
}

// Feeds the channels at 30 frames/s for `durationSeconds`, each from another point of the
// clip, then waits for the queues to drain; runs the GUI's events meanwhile.
PhaseResult runPhase(const DecoderLibrary& library, const std::vector<AccessUnit>& units,
                     double durationSeconds, PictureStore& pictures, PictureTarget& target,
                     DecodeHost& host, Arrivals& arrivals) {
    std::vector<std::unique_ptr<ChannelDecoder>> decoders;
    for (unsigned c = 0; c < kChannelCount; ++c)
        decoders.push_back(std::make_unique<ChannelDecoder>(c, StreamKind::Live, &library, pictures,
                                                            target, host));
    std::array<std::size_t, kChannelCount> position{};
    for (unsigned c = 0; c < kChannelCount; ++c) {
        position[c] = (c * units.size() / kChannelCount) % units.size();
        arrivals.times[c].clear();
        arrivals.firstKey[c] = -1;
    }
    PhaseResult result;
    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        const auto period = std::chrono::microseconds(1000000 / kFps);
        const long ticks = static_cast<long>(durationSeconds * kFps);
        for (long tick = 0; tick < ticks; ++tick) {
            std::this_thread::sleep_until(start + tick * period);
            for (unsigned c = 0; c < kChannelCount; ++c) {
                const AccessUnit& unit = units[position[c]];
                {
                    std::lock_guard lock(arrivals.lock);
                    if (arrivals.firstKey[c] < 0 && unit.key)
                        arrivals.firstKey[c] = static_cast<long>(arrivals.times[c].size());
                    arrivals.times[c].push_back(Clock::now());
                }
                decoders[c]->enqueueFrame(record(c, unit));
                position[c] = (position[c] + 1) % units.size();
            }
        }
        fed.store(true);
    });
    waitWhileServingEvents([&] { return fed.load(); });
    feeder.join();
    waitWhileServingEvents([&] {
        return std::all_of(decoders.begin(), decoders.end(),
                           [](const auto& decoder) { return decoder->queuedFrames() == 0; });
    });
    const auto settle = Clock::now() + std::chrono::milliseconds(100);
    waitWhileServingEvents([&] { return Clock::now() >= settle; });
    result.wallSeconds = seconds(Clock::now() - start);
    result.cpuSeconds = cpuSeconds() - cpuBefore;
    for (auto& decoder : decoders) {
        decoder->setDiscardAll();
        decoder->stop();
        const auto stats = decoder->stats();
        result.enqueued += stats.enqueued;
        result.decoded += stats.decoded;
        result.skipped += stats.backlogSkipped;
        result.waiting += stats.waitingDropped;
    }
    return result;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--sim") {
        DesktopRunOptions options;
        bool roundsGiven = false;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--seconds" && i + 1 < argc) {
                options.seconds = std::max(2.0, std::atof(argv[++i]));
            } else if (arg == "--warm-up" && i + 1 < argc) {
                options.warmUpSeconds = std::max(1.0, std::atof(argv[++i]));
            } else if (arg == "--rounds" && i + 1 < argc) {
                options.rounds = std::max(1, std::atoi(argv[++i]));
                roundsGiven = true;
            } else if (arg == "--encoder-preset" && i + 1 < argc) {
                options.preset = argv[++i];
            } else if (arg == "--against-cli") {
                options.againstCli = true;
            } else if (arg == "--one-cell") {
                options.oneCellOnly = true;
            } else if (arg == "--site") {
                options.site = true;
            } else if (arg == "--path" && i + 1 < argc) {
                options.paths = {argv[++i]};
                if (options.paths[0] != "rgb" && options.paths[0] != "planar-sw") {
                    std::fprintf(stderr, "--sim measures the paths rgb and planar-sw\n");
                    return 2;
                }
            } else {
                std::fprintf(stderr,
                             "usage: %s --sim [--path rgb|planar-sw] [--warm-up S] [--seconds S] "
                             "[--rounds N] [--encoder-preset NAME] [--against-cli | --one-cell | "
                             "--site]\n",
                             argv[0]);
                return 2;
            }
        }
        if (int(options.site) + int(options.againstCli) + int(options.oneCellOnly) > 1) {
            std::fprintf(stderr, "--against-cli, --one-cell and --site are modes of their own\n");
            return 2;
        }
        if (options.site && !roundsGiven)
            options.rounds = 3;
        return runDesktopAgainstSimulator(options);
    }
    std::string path = "gl";
    std::string clip;
    double durationSeconds = 10;
    int rounds = 3;
    bool osd = true;
    bool zoomed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--path" && i + 1 < argc) {
            path = argv[++i];
        } else if (arg == "--clip" && i + 1 < argc) {
            clip = argv[++i];
        } else if (arg == "--seconds" && i + 1 < argc) {
            durationSeconds = std::atof(argv[++i]);
        } else if (arg == "--no-osd") {
            osd = false;
        } else if (arg == "--zoomed") {
            zoomed = true;
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr,
                         "usage: %s [--path gl|rgb|planar-sw] [--clip FILE] [--seconds S] "
                         "[--rounds N] [--no-osd] [--zoomed]\n",
                         argv[0]);
            return 2;
        }
    }
    if (path != "gl" && path != "rgb" && path != "planar-sw") {
        std::fprintf(stderr, "unknown path %s\n", path.c_str());
        return 2;
    }
    if (path == "planar-sw")
        qputenv("KALDER_NO_OPENGL", "1");
    // The OpenGL path is measured even on a CPU rasteriser, where the window would not take it.
    if (path == "gl")
        qputenv("KALDER_FORCE_OPENGL", "1");
    const bool planar = path != "rgb";
    QApplication app(argc, argv);

    clip = clipOrDefault(clip);
    if (clip.empty())
        return 1;
    const auto library = DecoderLibrary::openFromProgramFolder();
    if (!library) {
        std::fprintf(stderr, "H264_D1.so not found beside the program\n");
        return 1;
    }
    const auto units = splitAccessUnits(clip);
    if (units.empty()) {
        std::fprintf(stderr, "no frames in %s\n", clip.c_str());
        return 1;
    }

    VideoWindow window;
    window.setAccelerated(planar);
    if (path == "gl" && !window.drawsWithOpenGl()) {
        std::fprintf(stderr,
                     "no OpenGL here (platform %s): run under xvfb-run -a or on a desktop\n",
                     qPrintable(QGuiApplication::platformName()));
        return 1;
    }
    if (!osd)
        window.toggleOverlays();
    window.show();
    window.startStream(StreamKind::Live, kChannelCount);
    const auto settled = Clock::now() + std::chrono::milliseconds(200);
    waitWhileServingEvents([&] { return Clock::now() >= settled; });
    std::printf("16 channels x %d frames/s, 704x480, 16-cell layout %dx%d, path %s (%s), %d "
                "rounds of %.0f s per phase\n",
                kFps, window.width(), window.height(), path.c_str(),
                window.drawsWithOpenGl() ? "OpenGL surface" : "software", rounds, durationSeconds);

    // Rounds alternate the phases, so that the machine's other work weighs on both alike.
    Arrivals arrivals;
    PictureStore nullPictures;
    NullTarget nullTarget(planar);
    DecodeHost nullHost;
    OverlayHost host(&window);
    QWidget* painted = window.glSurface() ? static_cast<QWidget*>(window.glSurface()) : &window;
    std::vector<double> ratios;
    std::vector<double> zoomRatios;
    std::vector<double> delaysMs;
    double decodeCpu = 0, drawCpu = 0, drawWall = 0, paintMs = 0;
    std::uint64_t decodeOnlyPictures = 0, drawnPictures = 0, skipped = 0;
    long received = 0, shown = 0, paints = 0;
    for (int round = 0; round < rounds; ++round) {
        const PhaseResult decodeOnly = runPhase(*library, units, durationSeconds, nullPictures,
                                                nullTarget, nullHost, arrivals);
        CountingTarget target(window.feed());
        PaintWatcher watcher(window, *painted, target, arrivals);
        const PhaseResult drawing = runPhase(*library, units, durationSeconds,
                                             window.feed().pictures(), target, host, arrivals);
        const double perDecode = decodeOnly.cpuSeconds / static_cast<double>(decodeOnly.decoded);
        const double perDraw = drawing.cpuSeconds / static_cast<double>(drawing.decoded);
        ratios.push_back(perDraw / perDecode);
        decodeCpu += decodeOnly.cpuSeconds;
        drawCpu += drawing.cpuSeconds;
        drawWall += drawing.wallSeconds;
        decodeOnlyPictures += decodeOnly.decoded;
        drawnPictures += drawing.decoded;
        skipped += decodeOnly.skipped + drawing.skipped;
        for (unsigned c = 0; c < kChannelCount; ++c)
            received += target.drawn(c);
        shown += watcher.shown;
        paints += watcher.paints;
        paintMs += watcher.paintMs;
        delaysMs.insert(delaysMs.end(), watcher.delaysMs.begin(), watcher.delaysMs.end());
        std::printf("round %d: CPU per picture decode only %.3f ms, decode and draw %.3f ms, "
                    "ratio %.3f; shown/received %.3f\n",
                    round + 1, 1000 * perDecode, 1000 * perDraw, perDraw / perDecode,
                    static_cast<double>(watcher.shown) /
                        static_cast<double>(std::max(1L, static_cast<long>(drawing.decoded))));
        if (zoomed) {
            // The same pictures with every cell zoomed 2x about its middle.
            for (int cell = 0; cell < kCellCount; ++cell)
                window.setCellViewZoom(cell, {2.0, 0.5, 0.5});
            CountingTarget zoomedTarget(window.feed());
            PaintWatcher zoomedWatcher(window, *painted, zoomedTarget, arrivals);
            const PhaseResult zoomedDrawing =
                runPhase(*library, units, durationSeconds, window.feed().pictures(), zoomedTarget,
                         host, arrivals);
            window.resetDigitalZoom();
            const double perZoomed =
                zoomedDrawing.cpuSeconds / static_cast<double>(zoomedDrawing.decoded);
            zoomRatios.push_back(perZoomed / perDraw);
            std::printf(
                "round %d: zoomed 2x decode and draw %.3f ms per picture, against "
                "unzoomed %.3f; shown/received %.3f\n",
                round + 1, 1000 * perZoomed, perZoomed / perDraw,
                static_cast<double>(zoomedWatcher.shown) /
                    static_cast<double>(std::max(1L, static_cast<long>(zoomedDrawing.decoded))));
        }
    }
    if (zoomed)
        std::printf("CPU per picture, 16 cells zoomed 2x against unzoomed: median ratio %.3f\n",
                    percentile(zoomRatios, 0.5));
    std::printf("pictures decoded: decode only %llu, decode and draw %llu; backlog skips %llu\n",
                static_cast<unsigned long long>(decodeOnlyPictures),
                static_cast<unsigned long long>(drawnPictures),
                static_cast<unsigned long long>(skipped));
    std::printf("CPU: decode only %.2f s, decode and draw %.2f s (%.0f %% of the 2-core machine)\n",
                decodeCpu, drawCpu, 100.0 * drawCpu / drawWall / 2);
    std::printf("CPU per picture, decode and draw against decode only: median ratio %.3f "
                "(drawing adds %.1f %%)\n",
                percentile(ratios, 0.5), 100 * (percentile(ratios, 0.5) - 1));
    std::printf("pictures received %ld (%.1f/s), shown %ld (%.1f/s): shown/received %.3f\n",
                received, static_cast<double>(received) / drawWall, shown,
                static_cast<double>(shown) / drawWall,
                static_cast<double>(shown) / static_cast<double>(std::max(1L, received)));
    std::printf("paints %ld (%.1f/s), %.2f ms each on average\n", paints,
                static_cast<double>(paints) / drawWall,
                paints > 0 ? paintMs / static_cast<double>(paints) : 0.0);
    std::printf("arrival to end of paint: median %.1f ms, 99th percentile %.1f ms (%zu pictures; "
                "frame interval %.1f ms)\n",
                percentile(delaysMs, 0.5), percentile(delaysMs, 0.99), delaysMs.size(),
                1000.0 / kFps);
    std::printf("peak RSS %ld KB\n", peakRssKb());
    return 0;
}
