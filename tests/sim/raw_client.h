#pragma once

// A minimal scripted recorder client for the simulator's own tests: raw socket, wire records
// only, no session logic.

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <span>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kalder::test {

struct RawMessage {
    MessageHeader header;
    std::vector<std::byte> payload;
    std::uint16_t id() const { return header.messageId(); }
};

class RawClient {
public:
    ~RawClient() { close(); }

    bool connect(std::uint16_t port) {
        close();
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    // Takes an already connected descriptor (for example one end of a socketpair).
    void adopt(int fd) {
        close();
        m_fd = fd;
    }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_closed = false;
    }
    int fd() const { return m_fd; }

    bool sendCode(std::uint16_t code, std::span<const std::byte> payload = {}) {
        MessageHeader header =
            makeHeader(idForCode(code), static_cast<std::uint16_t>(payload.size()));
        header.code = code;
        const auto head = encodeHeader(header);
        std::vector<std::byte> bytes(head.begin(), head.end());
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        return writeAll(bytes);
    }
    bool send(std::uint16_t id, std::span<const std::byte> payload = {}) {
        return sendCode(codeForId(id), payload);
    }
    bool sendHello(const std::string& user, const std::string& password) {
        return send(MessageId::HELLO, encodeHelloPayload({user, password}));
    }
    bool sendLiveRequest(std::uint32_t mask) {
        std::array<std::byte, 4> payload;
        ByteWriter w(payload);
        w.writeBe32(mask);
        return send(MessageId::LIVE_REQ, payload);
    }

    // Next whole message, or nothing on close, error or timeout (see closed()).
    std::optional<RawMessage>
    receive(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::array<std::byte, kHeaderSize> head;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        if (!readAll(head, deadline))
            return std::nullopt;
        RawMessage message;
        message.header = decodeHeader(head);
        message.payload.resize(message.header.payloadLength);
        if (!readAll(message.payload, deadline))
            return std::nullopt;
        return message;
    }
    // Next message of `id`, skipping others (kept in `skipped` when given).
    std::optional<RawMessage>
    receiveId(std::uint16_t id, std::chrono::milliseconds timeout = std::chrono::seconds(10),
              std::vector<RawMessage>* skipped = nullptr) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            auto m = receive(std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()));
            if (!m)
                return std::nullopt;
            if (m->id() == id)
                return m;
            if (skipped)
                skipped->push_back(std::move(*m));
        }
        return std::nullopt;
    }
    // True once the peer's close (end of stream or reset) has been seen.
    bool closed() const { return m_closed; }
    // Reads until the peer closes; false when it does not within `timeout`.
    bool waitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::byte sink[4096];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(m_fd, sink, sizeof sink, 0);
            if (n <= 0) {
                m_closed = true;
                return true;
            }
        }
        return false;
    }

private:
    bool writeAll(std::span<const std::byte> bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool readAll(std::span<std::byte> out, std::chrono::steady_clock::time_point deadline) {
        std::size_t got = 0;
        while (got < out.size()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 100))) <= 0)
                continue;
            const ssize_t n = ::recv(m_fd, out.data() + got, out.size() - got, 0);
            if (n <= 0) {
                m_closed = true;
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    int m_fd = -1;
    bool m_closed = false;
};

// The big-endian word at `offset` of a received payload; 0 past its end.
inline std::uint32_t be32At(const std::vector<std::byte>& bytes, std::size_t offset) {
    ByteReader r(bytes);
    r.seek(offset);
    return r.readBe32();
}

} // namespace kalder::test
