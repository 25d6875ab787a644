#pragma once

#include "backup/backup_writer.h"
#include "net/frame_assembler.h"
#include "wire/message_header.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace kalder {

class RecorderSession;

// The period, channels and kinds of a backup: the payload of TRANS_ON_REQ and TRANS_DATA_REQ.
struct BackupRequest {
    std::uint16_t channelMask = 0;
    // 0x3F from the timeline and the date/time entry; from the event list 1 << event type for
    // the size and 0 for the data.
    std::uint8_t kind = 0x3F;
    std::uint32_t start = 0; // RecorderTime
    std::uint32_t end = 0;
};

inline constexpr std::uint8_t kBackupKindAll = 0x3F;

// Counters of the receive side, for the command-line front end and the tests.
struct BackupReceiveCounters {
    std::uint64_t frames = 0;  // whole TRANS_ON_DATA items handed to the writer
    std::uint64_t dropped = 0; // without the frame magic, shorter than their block says, or
                               // larger than the assembly buffer
};

// The backup transfer of one session: the size request (TRANS_ON_REQ and its answers), the
// transfer into a BackupWriter (TRANS_DATA_REQ, the TRANS_ON_DATA items assembled and queued
// for the writer with the receive thread's back-pressure), and its end by TRANS_ON_DONE,
// TRANS_ON_FAIL, the operator's Stop, the loss of the backup right or the session's end.
//
// Ending, whoever calls it: TRANS_OFF_REQ, then the writer's queue drains, its thread closes the
// set whole and ends, the writer goes, and window message 21066 is posted. At most one transfer
// runs at a time.
//
// Threads: the handlers run on the session's receive thread; requestSize and startTransfer on
// the GUI thread; stop on either. m_controlMutex serialises the start and the ending; the
// writer pointer is guarded by m_writerMutex, which the receive thread holds only while it
// hands an item over (never while it sleeps, never while the writer drains).
class BackupTransfer {
public:
    explicit BackupTransfer(RecorderSession& session);
    ~BackupTransfer();
    BackupTransfer(const BackupTransfer&) = delete;
    BackupTransfer& operator=(const BackupTransfer&) = delete;

    // GUI thread: TRANS_ON_REQ. The answer comes as window message BackupSizeKnown (wParam the
    // size in kilobytes) or BackupRefused (lParam the reason). False when it cannot be asked now
    // (not logged in, a size request already waits).
    bool requestSize(const BackupRequest& request);
    // GUI thread: the operator's Backup. Creates the writer for `folder` (21064 with
    // `totalKbytes`), then TRANS_DATA_REQ. False when not logged in or a transfer runs.
    bool startTransfer(const BackupRequest& request, const std::filesystem::path& folder,
                       std::uint32_t totalKbytes, BackupWriterLimits limits = {});
    // GUI or receive thread: Stop (the progress window's, or the backup right withdrawn).
    void stop();
    // GUI thread, after window message BackupWriterEnded: the writer ended by itself (a file
    // error); the transfer ends as by Stop.
    void writerEnded();
    // GUI thread, in the disconnect order once the receive thread has ended: ends a running
    // transfer without a message to the recorder (the farewell follows).
    void sessionClosing();

    // State (any thread).
    bool requestPending() const { return m_requestPending; }
    bool transferRunning() const { return m_running; }
    // The last size pair of a refusal (87, in megabytes) or of a failed space check.
    std::array<std::int64_t, 2> sizePair() const;
    void setSizePair(std::array<std::int64_t, 2> pair);
    // What the last transfer's writer reported once it ended (sets, frames, bytes, how).
    std::optional<BackupWriteResult> lastResult() const;
    BackupReceiveCounters counters() const;

private:
    enum class Ending { Done, Failed, Stopped };
    void end(Ending how, bool sendOff);
    bool RecvFn_TransOnAck(const MessageHeader& header);
    bool RecvFn_TransOnNack(const MessageHeader& header);
    bool RecvFn_TransOnData(const MessageHeader& header);
    bool RecvFn_TransOnDone(const MessageHeader& header);
    bool RecvFn_TransOnFail(const MessageHeader& header);
    bool RecvFn_TransOffNack(const MessageHeader& header);
    void completeFrame();

    RecorderSession& m_session;

    std::mutex m_controlMutex; // serialises startTransfer and end
    mutable std::mutex m_writerMutex;
    std::unique_ptr<BackupWriter> m_writer; // guarded by m_writerMutex

    mutable std::mutex m_stateMutex; // guards the fields below
    std::array<std::int64_t, 2> m_sizePair{};
    std::optional<BackupWriteResult> m_lastResult;
    BackupReceiveCounters m_counters;

    std::atomic<bool> m_requestPending{false};
    std::atomic<bool> m_running{false};
    // Raised by every start: the receive thread then drops what it had assembled before.
    std::atomic<std::uint64_t> m_runGeneration{0};

    // Receive thread only.
    FrameAssembler m_assembly;
    std::uint64_t m_assemblyGeneration = 0;
};

} // namespace kalder
