#pragma once

// A minimal scripted recorder client for the simulator's own tests: raw socket, wire records
// only, no session logic.

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "support/raw_message_peer.h"

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
        return writeMessage(m_fd, header, payload);
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
        return readMessage(m_fd, timeout, &m_closed);
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
        if (waitForPeerClose(m_fd, timeout))
            m_closed = true;
        return m_closed;
    }

private:
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
