#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace kalder {

// The outcome of connectTcp: a connected stream socket, or the errno that ended the attempt.
struct TcpConnectResult {
    int fd = -1;           // owned by the caller when valid; left non-blocking
    int error = 0;         // 0 on success
    bool noSocket = false; // the socket itself could not be created (error says why)
    bool connected() const { return fd >= 0; }
};

// Opens a TCP socket with keep-alive probes (SO_KEEPALIVE, first probe after 3 s idle, then
// every 2 s, so that a dead peer is found within seconds) and connects it to `address`
// (dotted-quad IPv4 only: nothing here resolves names) on `port`.
//
// The kernel decides between success, refusal and time-out as a blocking connect would; the
// attempt only waits in slices so that `abort` (may be null) can abandon it: the result is then
// ECANCELED. An address that is not a dotted quad gives EINVAL. Blocks the calling thread.
TcpConnectResult connectTcp(const std::string& address, std::uint16_t port,
                            const std::atomic<bool>* abort);

// The same, calling `stillWaiting` (on the calling thread) each time a wait slice ends with the
// connect still in progress, before the abort flag is looked at again: a caller, or a test, can
// tell a connect under way from one not yet begun.
TcpConnectResult connectTcp(const std::string& address, std::uint16_t port,
                            const std::atomic<bool>* abort,
                            const std::function<void()>& stillWaiting);

} // namespace kalder
