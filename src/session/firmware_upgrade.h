#pragma once

#include "session/firmware_scan.h"
#include "wire/message_header.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace kalder {

class RecorderSession;

// Where a row of the upgrade stands.
enum class UpgradeRowState : std::uint8_t {
    Idle,      // not (yet) requested
    Requested, // FW_UPDATE_REQ sent
    Uploading, // FW_UPDATE_ACK came; the upload thread sends the file
    Received,  // FW_DATA_RX_DONE: the recorder has the whole image and flashes it
    Done,      // FW_UPDATE_DONE
    Refused,   // FW_UPDATE_NACK (code)
    Failed,    // FW_DATA_RX_FAIL or FW_UPDATE_FAIL (code)
    Stopped,   // the operator stopped the upload
};

// The firmware upgrade of one session: the candidates of the folder scan, the row sequence
// (one FW_UPDATE_REQ at a time, strictly in row order), the upload thread `Thread_FwUpgrade`
// that streams a file as FW_DATA chunks of at most 8000 bytes (fragment flag bit 14 on the last
// only), and the recorder's replies.
//
// Threads: the GUI thread (or the command-line front end) calls everything public; the receive
// thread runs the reply handlers, which record the row's state and post the window messages
// 21034-21039 to the receiver, which answers them with startUpload() or finishRow(). A reply
// that does not belong to the row in progress is read and dropped, so the recorder cannot make
// the client post one message per reply it repeats. The upload thread's progress reaches the
// owner the same way: a tagged notice, then the owner reads rowProgress() and uploadRunning().
class FirmwareUpgrade {
public:
    explicit FirmwareUpgrade(RecorderSession& session);
    ~FirmwareUpgrade();
    FirmwareUpgrade(const FirmwareUpgrade&) = delete;
    FirmwareUpgrade& operator=(const FirmwareUpgrade&) = delete;

    // A new upgrade: the scan's rows, every selected row checked, progress and states cleared.
    void setCandidates(const FirmwareScanResult& scan);
    UpgradeCandidate candidate(int row) const;
    void setChecked(int row, bool checked);
    bool checked(int row) const;

    // The start step (Start, and after every final reply): from the current row on, the first
    // row that is selected and checked is requested (FW_UPDATE_REQ, `selected` cleared) and
    // returned; -1 when none is left, which ends the sequence (the current row goes back to 0).
    int requestNext();
    // FW_UPDATE_ACK arrived: starts the upload thread for the requested row. False when no row
    // awaits its upload or an upload runs.
    bool startUpload();
    // A final reply arrived (or the operator pressed Stop): sets `uploadStop` and waits for the
    // upload thread to end.
    void stopUpload();
    // Stop: the upload ends and the row in progress shows as stopped.
    void stopByOperator();

    // The upload thread tells its owner when to look again: `notice` runs on the upload thread
    // with the upload's ticket when the row's progress has grown by a whole percent and when the
    // thread ends, at most one notice waiting to be taken at a time; it must only post. The
    // owner answers each with takeUploadNotice() on its own thread and then reads the state.
    // Set and cleared on the GUI thread (the command line leaves it empty).
    using UploadNotice = std::function<void(std::uint64_t ticket)>;
    void setUploadNotice(UploadNotice notice);
    // The notice of `ticket` arrived: true when it belongs to the newest upload (a notice of an
    // upload before it is dropped). Lets the upload thread post its next one.
    bool takeUploadNotice(std::uint64_t ticket);

    bool uploadRunning() const { return m_uploadRunning; }
    int currentRow() const { return m_currentRow; }
    int upgradedCount() const { return m_upgradedCount; }
    UpgradeRowState rowState(int row) const;
    std::int32_t rowCode(int row) const;
    int rowProgress(int row) const; // 0-100

    // The upload thread's chunking: how many bytes the next FW_DATA carries and whether it is
    // the last, for `remaining` bytes still to send.
    static std::size_t chunkLength(std::uint64_t remaining);

private:
    struct Row {
        UpgradeCandidate candidate;
        bool checked = false;
        UpgradeRowState state = UpgradeRowState::Idle;
        std::int32_t code = 0;
        bool receivedPosted = false;
    };

    void Thread_FwUpgrade(std::string path, int row, std::uint64_t ticket);
    void notifyUpload(std::uint64_t ticket); // upload thread
    // Receive thread: the reply handlers.
    void onUpdateAck();
    bool onNack(const MessageHeader& header, UpgradeRowState state, int message);
    void onReceived();
    void onDone();

    RecorderSession& m_session;

    mutable std::mutex m_mutex; // guards m_rows and m_awaitingRow
    std::array<Row, kUpgradeRows> m_rows;
    int m_awaitingRow = -1; // the requested row whose final reply is due; -1: none
    bool m_ackPosted = false;

    std::atomic<int> m_currentRow{0};
    std::atomic<int> m_upgradedCount{0};
    std::array<std::atomic<int>, kUpgradeRows> m_progress{};
    std::atomic<bool> m_uploadStop{true};
    std::atomic<bool> m_uploadRunning{false};     // `uploadThreadId`: false once the thread ends
    std::atomic<std::uint64_t> m_uploadTicket{0}; // the newest upload's; set by the GUI thread
    std::atomic<bool> m_noticeWaiting{false};     // a notice is posted and not yet taken
    std::mutex m_noticeMutex;                     // guards m_notice
    UploadNotice m_notice;
    std::jthread m_uploadThread; // started and joined by the GUI thread
};

} // namespace kalder
