#pragma once

// Raw message framing over a stream socket for the test doubles on either side of the wire
// (the scripted recorder of the session tests, the raw client of the simulator tests): a whole
// message out in one write, one whole message in with a deadline. Wire records only, no Qt, no
// session logic.
#include "wire/message_header.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <span>
#include <sys/socket.h>
#include <vector>

namespace kalder::test {

struct RawMessage {
    MessageHeader header;
    std::vector<std::byte> payload;
    std::uint16_t id() const { return header.messageId(); }
};

// Hands every byte to the socket; false on an error or a closed peer.
inline bool writeAllBytes(int fd, std::span<const std::byte> bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// The header and its payload in one write, so that a reader never sees half a message first.
inline bool writeMessage(int fd, const MessageHeader& header,
                         std::span<const std::byte> payload = {}) {
    const auto head = encodeHeader(header);
    std::vector<std::byte> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return writeAllBytes(fd, bytes);
}

// Fills `out` before `deadline`. False on time-out, or when the peer closed the connection or
// it failed (then `closed`, when given, is set).
inline bool readExact(int fd, std::span<std::byte> out,
                      std::chrono::steady_clock::time_point deadline, bool* closed = nullptr) {
    std::size_t got = 0;
    while (got < out.size()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::recv(fd, out.data() + got, out.size() - got, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// The next whole message, or nothing on time-out, close or error (see readExact).
inline std::optional<RawMessage> readMessage(int fd, std::chrono::milliseconds timeout,
                                             bool* closed = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<std::byte, kHeaderSize> head;
    if (!readExact(fd, head, deadline, closed))
        return std::nullopt;
    RawMessage message;
    message.header = decodeHeader(head);
    message.payload.resize(message.header.payloadLength);
    if (!readExact(fd, message.payload, deadline, closed))
        return std::nullopt;
    return message;
}

// Reads and drops until the peer closes (end of stream or an error); false when it does not
// within `timeout`.
inline bool waitForPeerClose(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<std::byte, 4096> sink;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(fd, sink.data(), sink.size(), MSG_DONTWAIT);
        if (n == 0)
            return true;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return true;
    }
    return false;
}

} // namespace kalder::test
