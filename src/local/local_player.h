#pragma once

#include "local/local_player_rules.h"
#include "local/local_playlist.h"
#include "wire/audio_consumer.h"
#include "wire/channel_count.h"
#include "wire/frame_consumer.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kalder {

struct LocalFrame;

// What the player thread tells its owner. Every callback runs on the player thread; each may
// be empty. The owner trampolines them to its own thread.
struct LocalPlayerEvents {
    std::function<void(std::uint32_t frameTime)> clock; // a frame is shown
    // A new run chose its layout; `channels`: the channels it has video of.
    std::function<void(int cells, std::uint16_t channels)> layout;
    std::function<void()> paused; // the end of the data, or a step done
    std::function<void()> ended;  // the thread ends by itself (a file failed)
};

// What the player has shown, for the command-line front end and the tests.
struct LocalPlayerCounters {
    std::uint64_t shownFrames = 0;   // frames handed to a decoder
    std::uint64_t skippedFrames = 0; // damaged frames (unusable size, data outside the .vid)
    std::uint32_t firstTime = 0;     // RecorderTime of the first and last shown frame
    std::uint32_t lastTime = 0;
    std::array<std::uint64_t, kChannelCount> shownPerChannel{};
};

// Local playback of a playlist: reads the frame headers from the .vih and the frames from the
// .vid, forward or backward, and hands the frames to the channel decoders of a factory, paced
// against the wall clock at the chosen speed, with pause, single steps and seeking.
//
// Threads: the owner (GUI thread, or the command line's) calls start, control, seek and stop;
// the player thread reads the files and produces frames. The mode, speed, seek request and
// restart count are atomics written by the owner and read once per frame by the thread; the
// files and the read position belong to the thread alone.
class LocalPlayer {
public:
    // `factory` must outlive the player; it creates the decoders of all sixteen channels at
    // start (a null consumer leaves that channel unshown).
    LocalPlayer(Playlist playlist, FrameConsumerFactory& factory, LocalPlayerEvents events);
    // Stops the thread and dismantles the decoders when the owner did not.
    ~LocalPlayer();
    LocalPlayer(const LocalPlayer&) = delete;
    LocalPlayer& operator=(const LocalPlayer&) = delete;

    // Creates the decoders, starts the thread and plays forward at speed 1 (control 3), or at
    // `speed` (1-4, -2..-4) reached by pressing play or reverse as often as the operator would,
    // all before the first frame is read. False when the playlist has nothing to play.
    bool start(int speed = 1);
    // A playback control (1, 2, 3, 4, 7).
    LocalControlEffects control(int control);
    // The position slider: `seconds` from the start of the current run.
    void seek(std::uint32_t seconds);
    // Speed 0, the thread ends and is joined, then every decoder is drained and stopped.
    void stop();

    // The channels of the window's current page; steps show only these. Sound is heard only
    // while one channel is shown alone and its frames carry it.
    void setShownChannels(std::uint16_t mask) { m_shownChannels = mask; }
    // Before start: where the sound goes (none: no sound). The player thread makes its audio
    // output when forward play at normal speed meets sound of the channel shown alone, and
    // destroys it at any other speed, direction, pause or step.
    void setAudioFactory(AudioConsumerFactory* factory) { m_audioFactory = factory; }

    // Any thread.
    LocalMode mode() const { return m_mode.load(); }
    int speed() const { return m_speed.load(); }
    int speedMark() const { return localSpeedMark(m_speed.load()); }
    bool running() const { return m_running.load(); }
    // The span of the run being played (RecorderTime), for the position slider.
    RunSpan span() const;
    std::uint32_t currentTime() const { return m_currentTime.load(); }
    LocalPlayerCounters counters() const;
    FrameConsumer* consumer(unsigned channel) const {
        return channel < kChannelCount ? m_consumers[channel].get() : nullptr;
    }

private:
    struct Reader;
    // The player thread: plays until stopped or a file fails (then tells `ended`).
    void run();
    // The loop of run(): false when a file failed.
    bool playUntilStopped(Reader& r);
    // Sound only in forward play at normal speed: any control away from it ends the output.
    void endSoundAwayFromNormalPlay(LocalMode mode);
    void restWhilePaused();
    // Opens the entry's files when they are not open; false when they cannot be opened.
    bool openEntry(Reader& r, std::size_t index);
    // A run starts: span, layout, resync.
    void startRun(Reader& r, std::size_t index);
    // Moves to the neighbouring entry in the direction of play; false when there is none (or,
    // with `joinedOnly`, when it does not continue this run).
    bool moveEntry(Reader& r, bool forward, bool joinedOnly);
    // Seeks to m_seekTarget: along the playlist, then through the entry's time records, then
    // forward over the headers until one reaches the target. False when a file failed.
    bool seekToTarget(Reader& r);
    // One header in the direction of play: the move to the neighbouring entry at an entry's
    // end, or the frame read, chosen, paced and shown.
    void playNextHeader(Reader& r, LocalMode mode);
    // A new step (a new step token) starts with no channel shown; play forgets the seek's step.
    void trackStep(Reader& r, bool step);
    // The .vih offset of the next header in the direction of play; nothing at the entry's end,
    // where the player moves to the neighbouring entry or, without one, pauses.
    std::optional<std::uint64_t> nextHeaderOffset(Reader& r, LocalMode mode);
    // Step: whether the frame at `at` belongs to the step (a channel of the page with video; a
    // key frame stepping back or just after a seek). A channel the step has shown already ends
    // it: the position goes back to before that frame and the player pauses.
    bool takeStepFrame(Reader& r, const FrameDescriptor& d, LocalMode mode, std::uint64_t at);
    // Play: whether the speed's frame selection shows the frame.
    bool selectPlayedFrame(Reader& r, const FrameDescriptor& d, int speed);
    // Play: waits for the decoder's queue at key-frame speeds, then until the frame is due
    // (steps do not wait). False when the frame is not shown: the player stops, or a control
    // came during the wait and the frame is read again in the new direction.
    bool waitUntilDue(Reader& r, const FrameDescriptor& d, LocalMode mode, int speed,
                      std::uint64_t at);
    // The clock, the frame's title, its bytes to the channel's decoder, its sound, the counts.
    void showFrame(Reader& r, const LocalFrame& frame, LocalMode mode, int speed);
    void countSkippedFrame();
    void countShownFrame(unsigned channel, std::uint32_t frameTime);
    void pauseAtEnd();
    // Waits until the frame is due; false when the wait was cut short by a control or stop.
    void pace(Reader& reader, std::int64_t frameMs);
    void waitForQueue(unsigned channel);
    bool changed(int speed) const;
    void playSound(const FrameDescriptor& descriptor, std::span<const std::byte> frame);

    Playlist m_playlist; // the thread's once started
    FrameConsumerFactory& m_factory;
    LocalPlayerEvents m_events;
    std::array<std::unique_ptr<FrameConsumer>, kChannelCount> m_consumers;
    AudioConsumerFactory* m_audioFactory = nullptr;
    std::unique_ptr<AudioConsumer> m_audio; // the player thread's

    std::atomic<LocalMode> m_mode{LocalMode::Forward};
    std::atomic<int> m_speed{0};
    std::atomic<bool> m_resync{true};
    std::atomic<std::uint32_t> m_restarts{0};
    std::atomic<std::uint32_t> m_stepToken{0};
    // 0 none, 3 requested (the thread takes it), 4 under way.
    std::atomic<int> m_seek{0};
    std::atomic<std::uint32_t> m_seekTarget{0};
    std::atomic<bool> m_lastForward{true};
    std::atomic<std::uint16_t> m_shownChannels{0xFFFF};
    std::atomic<std::uint32_t> m_currentTime{0};
    std::atomic<std::uint32_t> m_spanStart{0}, m_spanEnd{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};

    std::mutex m_wakeMutex;
    std::condition_variable m_wake; // controls and stop cut a pacing wait short

    mutable std::mutex m_countersMutex;
    LocalPlayerCounters m_counters; // guarded by m_countersMutex

    // The owner's side of start/stop.
    std::mutex m_controlMutex;
    std::thread m_thread;
};

} // namespace kalder
