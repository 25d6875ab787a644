// kalder-bench-soak [--minutes N] [--reconnect-minutes M] [--sample-seconds S]
//
// The desktop client's main window, in this process on the display it is given (run it under
// Xvfb), against a 16-channel simulator for N minutes (default 60): live view, a layout change
// every few seconds through the layout buttons, and every M minutes (default 3) a disconnect
// through the connect button and a reconnect, and half-way between reconnects a remote playback
// of a minute of the recorder's past for 20 s, back to live view after it, then a backup of 10 s of
// that period on every channel into a scratch folder (the set is checked whole, then removed,
// while live view goes on). Every S seconds (default
// 10) it samples its own resident memory, threads and open files from /proc and prints them; at the
// end the start and end values and each one's slope per 10 minutes, the memory's fitted over the
// samples after the first 5 minutes (start-up caches settle there).
#include "main_window.h"

#include "resources/resource_library.h"
#include "decode/decoder_library.h"
#include "connect/connect_request.h"
#include "playback/playback_controller.h"
#include "session/backup_transfer.h"
#include "session/recorder_session.h"
#include "sim/recorded_disk.h"
#include "sim/sim_process.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QApplication>
#include <QDateTime>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace kalder;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample {
    double minutes = 0;
    double rssMb = 0;
    double threads = 0;
    double openFiles = 0;
};

Sample sampleSelf(double minutes) {
    Sample s;
    s.minutes = minutes;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            s.rssMb = std::atof(line.c_str() + 6) / 1024.0;
        else if (line.rfind("Threads:", 0) == 0)
            s.threads = std::atof(line.c_str() + 8);
    }
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        s.openFiles += 1;
    return s;
}

// Least-squares slope of `value` over the samples from `fromMinutes` on, per 10 minutes.
template <typename Field>
double slopePer10(const std::vector<Sample>& samples, double fromMinutes, Field field) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : samples) {
        if (s.minutes < fromMinutes)
            continue;
        const double y = field(s);
        n += 1;
        sx += s.minutes;
        sy += y;
        sxx += s.minutes * s.minutes;
        sxy += s.minutes * y;
    }
    const double d = n * sxx - sx * sx;
    return n < 2 || d == 0 ? 0 : 10 * (n * sxy - sx * sy) / d;
}

// Processes events until `condition` holds or `ms` pass; whether it held.
template <typename Condition> bool waitFor(Condition condition, int ms) {
    return QTest::qWaitFor([&] { return static_cast<bool>(condition()); }, ms);
}

// The simulator's recorded disk: fixed, so that the playback asks for a period it recorded (the
// recorder refuses a period in which no asked channel recorded).
constexpr std::uint32_t kDiskEnd = 1704294000; // 2024-01-03 15:00:00
constexpr std::uint64_t kDiskSeed = 4;

// The latest period of the disk at least 70 s long, on as many channels as any such period has.
sim::DiskPeriod playbackPeriod() {
    sim::DiskLayout layout;
    layout.end = kDiskEnd;
    layout.seed = kDiskSeed;
    layout.channelCount = 16;
    const sim::RecordedDisk disk(layout);
    sim::DiskPeriod best{};
    for (auto it = disk.periods().rbegin(); it != disk.periods().rend(); ++it)
        if (it->end - it->start >= 70 && std::popcount(static_cast<unsigned>(it->channels)) >
                                             std::popcount(static_cast<unsigned>(best.channels)))
            best = *it;
    return best;
}

double argument(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atof(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const double minutes = argument(argc, argv, "--minutes", 60);
    const double reconnectMinutes = argument(argc, argv, "--reconnect-minutes", 3);
    const double sampleSeconds = argument(argc, argv, "--sample-seconds", 10);
    QApplication app(argc, argv);
    loadResourceLibrary(QStringLiteral(KALDER_PROGRAM_DIR));

    test::SimProcess sim;
    if (!sim.start({"--channels", "16", "--disk-end", std::to_string(kDiskEnd), "--disk-seed",
                    std::to_string(kDiskSeed)})) {
        std::fprintf(stderr, "soak: the simulator did not start: %s\n", sim.lastError().c_str());
        return 1;
    }
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("kalder.ini")), QSettings::IniFormat);
    const auto decoder = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
    if (!decoder) {
        std::fprintf(stderr, "soak: H264_D1.so not found beside the program\n");
        return 1;
    }
    MainWindowConfig config;
    config.store = &store;
    config.settings.location = dir.filePath(QStringLiteral("data"));
    config.decoder = decoder.get();
    config.connectDialogAtStart = false;
    MainWindow window(config);
    window.show();

    ConnectRequest request;
    request.address = "127.0.0.1";
    request.typedAddress = request.address;
    request.port = sim.port();
    request.userId = "admin";
    request.password = "1234";
    auto connectLive = [&] {
        window.connectTo(request);
        if (!waitFor([&] { return window.liveChannelInfoCount() > 0; }, 60000)) {
            std::fprintf(stderr, "soak: live view did not start (simulator: %s)\n",
                         sim.admin("clients").c_str());
            return false;
        }
        if (!waitFor([&] { return window.videoWindow()->decodedChannels() != 0; }, 60000)) {
            std::fprintf(stderr, "soak: no picture decoded\n");
            return false;
        }
        return true;
    };
    if (!connectLive()) {
        std::fprintf(stderr, "soak: no live pictures after connecting\n");
        return 1;
    }

    // The layout buttons (1, 4, 6, 8, 9 and its second page, 10, 13, 16 cells).
    const int layouts[] = {320, 321, 322, 323, 324, 325, 325, 326, 327, 328};
    std::vector<Sample> samples;
    const auto start = Clock::now();
    auto elapsedMinutes = [&] {
        return std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count();
    };
    double nextSample = 0, nextReconnect = reconnectMinutes, nextPlayback = reconnectMinutes / 2;
    unsigned layoutChanges = 0, reconnects = 0, playbacks = 0, backups = 0, failures = 0;
    const sim::DiskPeriod period = playbackPeriod();
    // A minute of the recorder's past as the search window's Play asks for it, 20 s of it shown,
    // then the stop button and live view again.
    auto playBack = [&] {
        const std::uint32_t from = period.start + 5;
        VideoWindow* video = window.videoWindow();
        if (!window.playback()->play(from, from + 60, period.channels, 0x3F) ||
            !waitFor([&] { return video->mode() == StreamKind::RemotePlayback; }, 30000)) {
            std::fprintf(stderr, "soak: playback did not start\n");
            return false;
        }
        QTest::qWait(20000);
        window.button(345)->click();
        if (!waitFor([&] { return video->mode() != StreamKind::RemotePlayback; }, 30000))
            return false;
        if (!window.session()->live().liveOn())
            window.button(369)->click();
        return waitFor([&] { return window.session()->live().liveOn(); }, 30000);
    };
    // Ten seconds of the same period on every channel that recorded it, through the session's
    // transfer and the main window's progress window; the set's files are removed afterwards.
    const std::filesystem::path backupFolder = dir.filePath(QStringLiteral("backup")).toStdString();
    auto backUp = [&] {
        BackupRequest backup;
        backup.channelMask = period.channels;
        backup.start = period.start + 10;
        backup.end = backup.start + 10;
        BackupTransfer& transfer = window.session()->backup();
        if (!transfer.startTransfer(backup, backupFolder, 40 * 1024)) {
            std::fprintf(stderr, "soak: backup did not start\n");
            return false;
        }
        const bool ended = waitFor(
            [&] { return !transfer.transferRunning() && !window.backupProgressWindow(); }, 120000);
        const auto result = transfer.lastResult();
        const bool whole = ended && result && result->end == BackupWriteResult::End::Done &&
                           !result->sets.empty() && result->frames > 0;
        if (!whole)
            std::fprintf(stderr, "soak: backup did not end whole\n");
        std::error_code ec;
        std::filesystem::remove_all(backupFolder, ec);
        return whole;
    };
    std::printf("%8s %9s %8s %6s\n", "minutes", "rss_mb", "threads", "files");
    while (elapsedMinutes() < minutes) {
        const double now = elapsedMinutes();
        if (now >= nextSample) {
            samples.push_back(sampleSelf(now));
            const Sample& s = samples.back();
            std::printf("%8.2f %9.1f %8.0f %6.0f\n", s.minutes, s.rssMb, s.threads, s.openFiles);
            std::fflush(stdout);
            nextSample += sampleSeconds / 60;
        }
        if (now >= nextReconnect) {
            nextReconnect += reconnectMinutes;
            QTest::mouseClick(window.button(360), Qt::LeftButton); // disconnects
            // The receive thread reports the closed connection in a box; OK closes it.
            if (waitFor([&] { return window.notificationBox() != nullptr; }, 5000))
                window.notificationBox()
                    ->findChild<SkinButton*>(QStringLiteral("okButton"))
                    ->click();
            waitFor([&] { return window.notificationBox() == nullptr; }, 5000);
            if (connectLive())
                ++reconnects;
            else
                ++failures;
        }
        if (now >= nextPlayback) {
            nextPlayback += reconnectMinutes;
            if (playBack())
                ++playbacks;
            else
                ++failures;
            if (backUp())
                ++backups;
            else
                ++failures;
        }
        QTest::mouseClick(window.button(layouts[layoutChanges % std::size(layouts)]),
                          Qt::LeftButton);
        ++layoutChanges;
        QTest::qWait(3000);
    }
    samples.push_back(sampleSelf(elapsedMinutes()));

    const Sample& first = samples.front();
    const Sample& last = samples.back();
    const double settle = minutes > 10 ? 5 : 0;
    std::printf("\nsoak: %.1f minutes, %u layout changes, %u reconnects, %u playbacks, %u backups, "
                "%u failures\n",
                last.minutes, layoutChanges, reconnects, playbacks, backups, failures);
    std::printf("%-10s %10s %10s %18s\n", "", "start", "end", "slope per 10 min");
    std::printf("%-10s %10.1f %10.1f %15.2f MB (from minute %.0f)\n", "rss", first.rssMb,
                last.rssMb, slopePer10(samples, settle, [](const Sample& s) { return s.rssMb; }),
                settle);
    std::printf("%-10s %10.0f %10.0f %18.2f\n", "threads", first.threads, last.threads,
                slopePer10(samples, 0, [](const Sample& s) { return s.threads; }));
    std::printf("%-10s %10.0f %10.0f %18.2f\n", "open files", first.openFiles, last.openFiles,
                slopePer10(samples, 0, [](const Sample& s) { return s.openFiles; }));
    return failures == 0 ? 0 : 1;
}
