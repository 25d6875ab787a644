#pragma once

#include "wire/message_header.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace kalder {

// Monotonic clock for the receive limit; tests replace it so a stall need not last 180 s.
class ReceiveClock {
public:
    virtual ~ReceiveClock() = default;
    virtual std::chrono::steady_clock::time_point now() const {
        return std::chrono::steady_clock::now();
    }
};

// Where the receive path takes its bytes from: the connected socket in the client and the
// simulator, bytes held in memory in the fuzz targets. LoopReceive keeps the rules (the buffer
// filled whole, the whole-call limit on the source's clock, the stop flag); a source only says
// what it has and waits for more. Read by one thread only (the receive thread).
class ReceiveSource {
public:
    virtual ~ReceiveSource() = default;

    enum class Status {
        Bytes,  // `count` bytes were taken
        None,   // nothing waiting now; more may come
        Closed, // the peer has closed: no more bytes will ever come
        Failed, // an error: the connection is unusable
        Retry,  // interrupted before anything was taken: ask again at once
    };
    struct Taken {
        Status status = Status::None;
        std::size_t count = 0;
    };
    // Takes bytes already waiting, up to `buffer.size()`, without waiting for any.
    virtual Taken takeAvailable(std::span<std::byte> buffer) = 0;
    // Waits at most `slice` for bytes to arrive; false on an error.
    virtual bool waitForBytes(std::chrono::milliseconds slice) = 0;
    // After the payload of a message that nothing handles has been dropped.
    virtual void pauseAfterDroppedMessage() = 0;

    // Replaces the clock used by LoopReceive; null restores the steady clock. Not owned.
    void setClock(const ReceiveClock* clock) { m_clock = clock ? clock : &s_steadyClock; }
    const ReceiveClock& clock() const { return *m_clock; }

    // When set, LoopReceive also gives up as soon as the flag becomes true (not owned).
    void setStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    const std::atomic<bool>* stopFlag() const { return m_stop; }

    // When not zero, LoopReceive also gives up when no byte has come for this long, in the
    // middle of a message too: a client that gets a lost link back must not wait out the
    // whole-call limit for the rest of a message that a stalled link will never bring. Zero
    // (the default) keeps only the whole-call limit. Receive thread only.
    void setSilenceLimit(std::chrono::milliseconds limit) {
        m_silenceLimit = limit;
        m_fellSilent = false;
    }
    std::chrono::milliseconds silenceLimit() const { return m_silenceLimit; }
    // A LoopReceive gave up on the silence limit (set until the next setSilenceLimit).
    bool fellSilent() const { return m_fellSilent; }
    void noteSilence() { m_fellSilent = true; }

private:
    static const ReceiveClock s_steadyClock;
    const ReceiveClock* m_clock = &s_steadyClock;
    const std::atomic<bool>* m_stop = nullptr;
    std::chrono::milliseconds m_silenceLimit{0};
    bool m_fellSilent = false;
};

// One connected stream socket. Owns the descriptor; sends are serialised by a mutex so that
// messages from several threads (GUI, keep-alive, talk sender, firmware upload) never
// interleave on the wire. Reads happen on one thread only (the receive thread).
class MessageSocket final : public ReceiveSource {
public:
    MessageSocket() = default;
    explicit MessageSocket(int fd) : m_fd(fd) {}
    ~MessageSocket() override;
    MessageSocket(const MessageSocket&) = delete;
    MessageSocket& operator=(const MessageSocket&) = delete;

    int fd() const { return m_fd.load(); }
    bool valid() const { return m_fd.load() >= 0; }
    // Takes ownership of `fd`, closing any previous descriptor.
    void reset(int fd = -1);
    // Shuts the sending side (the farewell's half-close).
    void shutdownSend();
    // Shuts both directions: a blocked reader or writer returns at once.
    void shutdownBoth();

    std::mutex& sendMutex() { return m_sendMutex; }

    // A non-blocking recv; a closed descriptor (fd -1) counts as failed.
    Taken takeAvailable(std::span<std::byte> buffer) override;
    // poll for input, in slices so that the caller notices a stop or the limit.
    bool waitForBytes(std::chrono::milliseconds slice) override;
    // A deliberate pause of 1 ms: messages that nothing handles (unknown ids, the recorder's
    // keep-alives, garbage) cost the receive thread at least that much each, so a recorder that
    // floods them cannot keep it spinning at full speed.
    void pauseAfterDroppedMessage() override;

private:
    std::atomic<int> m_fd{-1};
    std::mutex m_sendMutex;
};

// Bytes held in memory, read front to back; at their end the peer counts as closed. Nothing to
// flood: a dropped message costs no pause. For the fuzz targets and tests of the receive path.
class MemorySource final : public ReceiveSource {
public:
    explicit MemorySource(std::span<const std::byte> bytes) : m_bytes(bytes) {}

    Taken takeAvailable(std::span<std::byte> buffer) override;
    bool waitForBytes(std::chrono::milliseconds) override { return true; }
    void pauseAfterDroppedMessage() override {}

    std::size_t remaining() const { return m_bytes.size() - m_pos; }
    // Reads `bytes` from their start next (a fuzz target's next input).
    void reset(std::span<const std::byte> bytes) {
        m_bytes = bytes;
        m_pos = 0;
    }

private:
    std::span<const std::byte> m_bytes;
    std::size_t m_pos = 0;
};

// The whole-call limit of one LoopReceive.
inline constexpr std::chrono::seconds kReceiveLimit{180};
// How long a send waits for a peer that accepts no bytes before the connection is given up.
inline constexpr std::chrono::seconds kSendLimit{30};

// Sends one whole message: header and payload leave together under the socket's send lock.
// Failures are not reported here; they surface as a dead connection in the receive thread.
void sendMessage(MessageSocket& socket, const MessageHeader& header,
                 std::span<const std::byte> payload = {});

// Hands `bytes` to the socket whole. The caller holds the send lock. Returns false on an error
// or when the peer accepts nothing for kSendLimit; the connection is then shut down so that the
// receive thread notices.
bool sendAll(MessageSocket& socket, std::span<const std::byte> bytes);

// Fills `buffer` exactly or fails: on a socket error, when the peer has closed the connection,
// when the socket's stop flag rises, when the whole call has taken kReceiveLimit or longer, or
// when no byte has come for the source's silence limit.
bool LoopReceive(ReceiveSource& source, std::span<std::byte> buffer);

// Reads the 16-byte header of the next message.
bool receiveHeader(ReceiveSource& source, MessageHeader& header);

inline constexpr std::int32_t kNackEmpty = -100;
inline constexpr std::int32_t kNackReadFailed = -99;

// Consumes the payload of a negative reply whose header has just been read and returns its code:
// -100 for an empty payload, -99 when the read failed. With a 12-byte payload and a detail area,
// the two detail words are stored there (converted to host order).
std::int32_t readNackCode(ReceiveSource& source, const MessageHeader& header,
                          std::array<std::uint32_t, 2>* detail = nullptr);

// Reads and drops the payload of `header`, then lets the source pause (a socket sleeps 1 ms).
// False only when the read fails.
bool discardPayload(ReceiveSource& source, const MessageHeader& header);

} // namespace kalder
