#pragma once

#include "sim/media_source.h"
#include "sim/recorded_frames.h"
#include "sim/recorder_model.h"
#include "wire/message_header.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kalder::sim {

// What the backup side of the simulator's connections has done (the admin "backup-status"
// reply).
struct BackupReport {
    std::uint64_t sized = 0;  // TRANS_ON_REQ answered with TRANS_ON_ACK
    std::uint32_t kbytes = 0; // the size of the last TRANS_ON_ACK
    std::uint64_t runs = 0;   // TRANS_DATA_REQ started
    std::uint64_t frames = 0; // TRANS_ON_DATA frames sent, all runs
    std::uint64_t bytes = 0;  // as the client counts them: 192 + block + video + audio
    std::uint64_t offs = 0;   // TRANS_OFF_REQ received
    std::array<std::uint64_t, kMaxChannels> runFrames{}; // per channel, the last run
    bool done = false;                                   // TRANS_ON_DONE sent for the last run
};

// One recorded run of a channel within a backup period: frames `first`..`last` of the channel,
// all of one recorded period of the disk.
struct BackupFrameRun {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::uint32_t segmentKey = 0; // changes from one recorded period to the next
    std::uint8_t kind = 0;        // recording kind number, header byte 50
};

// The frames a backup request covers, per channel, in time order: every recorded period of
// the disk that overlaps [start, end] (whole seconds, both included), has the channel, and
// whose kinds meet `kindSelector` (0 counts as every kind).
using BackupPlan = std::array<std::vector<BackupFrameRun>, kMaxChannels>;
BackupPlan planBackup(const RecordedDisk& disk, const RecordedFrames& frames,
                      std::uint16_t channelMask, std::uint8_t kindSelector, std::uint32_t start,
                      std::uint32_t end);
// The bytes the client will count for the plan: per frame 192 + 40 + the access unit, and the
// audio section on the frames that carry sound.
std::uint64_t backupPlanBytes(const BackupPlan& plan, const RecordedFrames& frames);

// The recorder's side of backup on one connection: TRANS_ON_REQ (the size of a period in
// kilobytes, or a refusal), TRANS_DATA_REQ (the period's frames of the chosen channels as
// TRANS_ON_DATA, each a 192-byte recording header, the frame block, the access unit and the
// audio section of a frame that carries sound, in time order across the channels and as fast
// as the socket takes them, then TRANS_ON_DONE) and TRANS_OFF_REQ (the stream stops after the
// frame on the wire; TRANS_OFF_ACK).
//
// Threads: handle() runs on the connection's receive thread; the frames go out from this
// class's own sender thread; the knobs come from the admin thread. State is guarded by m_mutex.
class BackupStream {
public:
    using SendMessage = std::function<void(std::uint16_t id, std::span<const std::byte>)>;
    using SendWire = std::function<bool(std::span<const std::byte>)>;
    using Log = std::function<void(const std::string&)>;

    BackupStream(RecorderModel& model, const MediaSource& media, SendMessage sendMessage,
                 SendWire sendWire, std::size_t maxFragmentBytes, Log log);
    ~BackupStream();
    BackupStream(const BackupStream&) = delete;
    BackupStream& operator=(const BackupStream&) = delete;

    void start();
    void stop();

    // Receive thread: true when `header` is a backup message (handled here).
    bool handle(const MessageHeader& header, std::span<const std::byte> payload);

    // Knobs (admin thread). The refusal, rate and size hold for every connection of the
    // simulator, so that they can be set before a client connects.
    // The next TRANS_ON_REQ of any client is refused with TRANS_ON_NACK `code`; with 87 the two
    // sizes in megabytes follow the code.
    static void armRefusal(std::int32_t code, std::uint32_t firstMb, std::uint32_t secondMb);
    // At most this many kilobytes a second (0: as fast as the socket takes them).
    static void setRate(std::uint32_t kbytesPerSecond);
    // TRANS_ON_ACK answers this size instead of the period's (0: the period's again).
    static void setAnsweredSize(std::uint32_t kbytes);
    // This connection's running transfer fails now with TRANS_ON_FAIL `code`.
    void fail(std::int32_t code);

    // What every connection of the simulator has done so far.
    static BackupReport report();

private:
    struct Cursor {
        std::size_t run = 0;
        std::int64_t frame = 0;
    };
    void senderLoop();
    // With m_mutex held: the channel whose next frame goes out, or nothing at the end.
    std::optional<unsigned> nextChannel() const;
    std::vector<std::byte> buildItem(unsigned channel, std::int64_t frame,
                                     const BackupFrameRun& run) const;

    RecorderModel& m_model;
    const SendMessage m_sendMessage;
    const SendWire m_sendWire;
    const std::size_t m_maxFragment;
    const Log m_log;
    const RecordedFrames m_frames;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_running = false;
    std::uint64_t m_runId = 0; // a new run or an end makes the sender drop what it built
    BackupPlan m_plan;
    std::array<Cursor, kMaxChannels> m_cursors{};
    std::array<std::string, kMaxChannels> m_titles;

    std::thread m_sender;
};

} // namespace kalder::sim
