#pragma once

#include "net/reply_assembler.h"
#include "wire/log_records.h"
#include "wire/message_header.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kalder {

class RecorderSession;

// How a log reply ended, in the wParam of WindowMessage::LogReplyComplete.
enum class LogReplyResult : int {
    Decoded = 0,  // the records are in the session
    TooLarge = 1, // the reply outgrew the reply buffer and was refused whole
    BadSize = 2,  // the first record announced a size this client does not read
};

// The recorder's log: LOG_INFO_REQ, its fragmented LOG_INFO_ACK reply and LOG_INFO_NACK. The
// decoded log stays in the session from the first fetch until the session ends, so the lists
// can be reopened (after a playback, say) without asking again. Owned by its RecorderSession;
// the handlers run on the receive thread, request() on the GUI thread, the readers on any thread.
class LogRequest {
public:
    explicit LogRequest(RecorderSession& session);
    LogRequest(const LogRequest&) = delete;
    LogRequest& operator=(const LogRequest&) = delete;

    // GUI thread: empties the reply buffer and sends LOG_INFO_REQ. The reply ends with
    // WindowMessage::LogReplyComplete; a refusal with a notification (when its reason has one)
    // and CloseWindow(RequestWindow).
    void request();
    bool requestPending() const { return m_requestPending; }

    // A log was fetched in this session (possibly an empty one).
    bool fetched() const;
    // A copy of the decoded records, in reply order (at most 2,500).
    std::vector<LogRecord> records() const;

private:
    bool RecvFn_LogInfoAck(const MessageHeader& header);
    bool RecvFn_LogInfoNack(const MessageHeader& header);

    RecorderSession& m_session;
    // Filled by the receive thread, emptied by request(); guarded by m_assemblyMutex so that a
    // new request never meets a reply still arriving.
    std::mutex m_assemblyMutex;
    ReplyAssembler m_assembler;
    std::atomic<bool> m_requestPending{false};

    mutable std::mutex m_mutex; // guards the fields below
    std::vector<LogRecord> m_records;
    bool m_fetched = false;
};

} // namespace kalder
