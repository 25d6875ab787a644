#include "net/transport.h"

#include "net/trace.h"
#include "wire/message_catalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kalder {

namespace {

// Longest single wait inside LoopReceive and sendAll; between waits the limits and the stop
// flag are checked again.
constexpr int kPollSliceMs = 100;

bool stopRequested(const ReceiveSource& source) {
    const std::atomic<bool>* stop = source.stopFlag();
    return stop && stop->load();
}

} // namespace

const ReceiveClock ReceiveSource::s_steadyClock;

MessageSocket::~MessageSocket() {
    reset();
}

void MessageSocket::reset(int fd) {
    const int old = m_fd.exchange(fd);
    if (old >= 0)
        ::close(old);
}

void MessageSocket::shutdownSend() {
    const int fd = m_fd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_WR);
}

void MessageSocket::shutdownBoth() {
    const int fd = m_fd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void sendMessage(MessageSocket& socket, const MessageHeader& header,
                 std::span<const std::byte> payload) {
    // One buffer per message, so header and payload always leave in one sendAll call.
    std::vector<std::byte> buffer(kHeaderSize + payload.size());
    const auto head = encodeHeader(header);
    std::memcpy(buffer.data(), head.data(), kHeaderSize);
    if (!payload.empty())
        std::memcpy(buffer.data() + kHeaderSize, payload.data(), payload.size());
    if (traceEnabled() && header.messageId() != MessageId::LIVE_DATA) {
        const MessageInfo* info = findMessage(header.messageId(), Direction::ToRecorder);
        if (!info)
            info = findMessage(header.messageId(), Direction::ToClient);
        trace("-> %s (%u) %zu bytes\n", info ? info->name : "?", unsigned(header.messageId()),
              payload.size());
    }
    std::lock_guard lock(socket.sendMutex());
    sendAll(socket, buffer);
}

bool sendAll(MessageSocket& socket, std::span<const std::byte> bytes) {
    const int fd = socket.fd();
    if (fd < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + kSendLimit;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                trace("send stalled...socket shut down\n");
                socket.shutdownBoth();
                return false;
            }
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, kPollSliceMs);
            continue;
        }
        trace("nErr : %d... send error...socket closed\n", errno);
        return false;
    }
    return true;
}

ReceiveSource::Taken MessageSocket::takeAvailable(std::span<std::byte> buffer) {
    const int fd = m_fd.load();
    if (fd < 0)
        return {Status::Failed};
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n > 0)
        return {Status::Bytes, static_cast<std::size_t>(n)};
    if (n == 0)
        return {Status::Closed};
    if (errno == EINTR)
        return {Status::Retry};
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
        trace("nErr : %d... receive error...socket closed\n", errno);
        return {Status::Failed};
    }
    return {Status::None};
}

bool MessageSocket::waitForBytes(std::chrono::milliseconds slice) {
    const int fd = m_fd.load();
    if (fd < 0)
        return false;
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(slice.count())) < 0 && errno != EINTR) {
        trace("nErr : %d... receive error...socket closed\n", errno);
        return false;
    }
    return true;
}

void MessageSocket::pauseAfterDroppedMessage() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ReceiveSource::Taken MemorySource::takeAvailable(std::span<std::byte> buffer) {
    const std::size_t n = std::min(buffer.size(), remaining());
    if (n == 0)
        return {Status::Closed};
    std::memcpy(buffer.data(), m_bytes.data() + m_pos, n);
    m_pos += n;
    return {Status::Bytes, n};
}

bool LoopReceive(ReceiveSource& source, std::span<std::byte> buffer) {
    const ReceiveClock& clock = source.clock();
    const auto start = clock.now();
    auto lastBytes = start;
    const std::chrono::milliseconds silenceLimit = source.silenceLimit();
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const auto now = clock.now();
        if (now - start >= kReceiveLimit) {
            trace("receive limit reached...socket closed\n");
            return false;
        }
        if (silenceLimit.count() > 0 && now - lastBytes >= silenceLimit) {
            trace("no byte for %lld ms...socket closed\n",
                  static_cast<long long>(silenceLimit.count()));
            source.noteSilence();
            return false;
        }
        if (stopRequested(source))
            return false;
        // Bytes already there are taken at once; the wait (in slices, so that a stop is
        // noticed) only when there are none. Live video mostly finds its bytes waiting.
        const ReceiveSource::Taken taken = source.takeAvailable(buffer.subspan(filled));
        switch (taken.status) {
        case ReceiveSource::Status::Bytes:
            filled += taken.count;
            lastBytes = now;
            continue;
        case ReceiveSource::Status::Closed:
            trace("receive...peer closed\n");
            return false;
        case ReceiveSource::Status::Failed:
            return false;
        case ReceiveSource::Status::Retry:
            continue;
        case ReceiveSource::Status::None:
            break;
        }
        if (!source.waitForBytes(std::chrono::milliseconds(kPollSliceMs)))
            return false;
    }
    return true;
}

bool receiveHeader(ReceiveSource& source, MessageHeader& header) {
    std::array<std::byte, kHeaderSize> bytes;
    if (!LoopReceive(source, bytes))
        return false;
    header = decodeHeader(bytes);
    return true;
}

std::int32_t readNackCode(ReceiveSource& source, const MessageHeader& header,
                          std::array<std::uint32_t, 2>* detail) {
    if (header.payloadLength == 0)
        return kNackEmpty;
    std::vector<std::byte> payload(header.payloadLength);
    if (!LoopReceive(source, payload))
        return kNackReadFailed;
    const auto nack = decodeNackPayload(payload);
    if (!nack)
        return kNackEmpty;
    if (detail && nack->errorDetail)
        *detail = *nack->errorDetail;
    return nack->errorCode;
}

bool discardPayload(ReceiveSource& source, const MessageHeader& header) {
    std::array<std::byte, 4096> sink;
    std::size_t left = header.payloadLength;
    while (left > 0) {
        const std::size_t n = left < sink.size() ? left : sink.size();
        if (!LoopReceive(source, std::span(sink).first(n)))
            return false;
        left -= n;
    }
    source.pauseAfterDroppedMessage();
    return true;
}

} // namespace kalder
