#pragma once

#include "net/reply_assembler.h"
#include "wire/message_header.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace kalder {

class RecorderSession;

// The recorder's status information (STATUS_INFO_REQ and its reply in pieces) and the system
// information reply the recorder may send unasked (collected and dropped). Owned by its
// RecorderSession, whose dispatcher runs the handlers on the receive thread.
//
// A request empties the buffer and marks the status reply as wanted; the pieces of the reply are
// appended until the final-piece flag, then the whole reply is kept and StatusInfoReady (21052)
// is posted with kReplyReady. A refusal notifies, closes the requesting window and posts
// StatusInfoReady with kReplyRefused. Pieces that nobody asked for are read and dropped.
class InfoExchange {
public:
    // wParam of StatusInfoReady.
    enum : int { kReplyReady = 0, kReplyRefused = 1, kReplyTooLarge = 2 };

    explicit InfoExchange(RecorderSession& session);
    InfoExchange(const InfoExchange&) = delete;
    InfoExchange& operator=(const InfoExchange&) = delete;

    // GUI thread: sends STATUS_INFO_REQ.
    void requestStatus();
    // GUI thread, after StatusInfoReady: the whole reply, once.
    std::optional<std::vector<std::byte>> takeStatusReply();
    // Any thread: a request waits for its reply.
    bool statusPending() const;

private:
    bool RecvFn_StatusInfoAck(const MessageHeader& header);
    bool RecvFn_SystemInfoAck(const MessageHeader& header);
    bool RecvFn_InfoNack(const MessageHeader& header, std::uint16_t id);

    RecorderSession& m_session;

    mutable std::mutex m_mutex;
    bool m_statusWanted = false;                   // guarded by m_mutex
    ReplyAssembler m_statusPieces;                 // guarded by m_mutex
    std::optional<std::vector<std::byte>> m_reply; // guarded by m_mutex
};

} // namespace kalder
