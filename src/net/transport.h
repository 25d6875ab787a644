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

// One connected stream socket. Owns the descriptor; sends are serialised by a mutex so that
// messages from several threads (GUI, keep-alive, talk sender, firmware upload) never
// interleave on the wire. Reads happen on one thread only (the receive thread).
class MessageSocket {
public:
    MessageSocket() = default;
    explicit MessageSocket(int fd) : m_fd(fd) {}
    ~MessageSocket();
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

    // Replaces the clock used by LoopReceive; null restores the steady clock. Not owned.
    void setClock(const ReceiveClock* clock) { m_clock = clock ? clock : &s_steadyClock; }
    const ReceiveClock& clock() const { return *m_clock; }

    // When set, LoopReceive also gives up as soon as the flag becomes true (not owned).
    void setStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    const std::atomic<bool>* stopFlag() const { return m_stop; }

    std::mutex& sendMutex() { return m_sendMutex; }

private:
    static const ReceiveClock s_steadyClock;
    std::atomic<int> m_fd{-1};
    std::mutex m_sendMutex;
    const ReceiveClock* m_clock = &s_steadyClock;
    const std::atomic<bool>* m_stop = nullptr;
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
// when the socket's stop flag rises, or when the whole call has taken kReceiveLimit or longer.
bool LoopReceive(MessageSocket& socket, std::span<std::byte> buffer);

// Reads the 16-byte header of the next message.
bool receiveHeader(MessageSocket& socket, MessageHeader& header);

inline constexpr std::int32_t kNackEmpty = -100;
inline constexpr std::int32_t kNackReadFailed = -99;

// Consumes the payload of a negative reply whose header has just been read and returns its code:
// -100 for an empty payload, -99 when the read failed. With a 12-byte payload and a detail area,
// the two detail words are stored there (converted to host order).
std::int32_t readNackCode(MessageSocket& socket, const MessageHeader& header,
                          std::array<std::uint32_t, 2>* detail = nullptr);

// Reads and drops the payload of `header`, then sleeps 1 ms. False only when the read fails.
bool discardPayload(MessageSocket& socket, const MessageHeader& header);

} // namespace kalder
