#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kalder::sim {

// What the recorder's speaker got from talking clients, for the admin port: the mu-law sound of
// every accepted talk packet in arrival order, and the answer A_LISTEN_REQ gets. One per
// simulator, shared by every connection.
class TalkStore {
public:
    // Sound kept before the oldest is dropped: about 35 minutes at 8 kHz.
    static constexpr std::size_t kMaxBytes = 16u * 1024 * 1024;

    // 0: A_LISTEN_REQ is accepted; otherwise A_LISTEN_NACK with this code.
    void setRefusal(std::int32_t code);
    std::int32_t refusal() const;

    void listenStarted();
    void listenStopped();
    // A connection that was talking ended without a stop request.
    void connectionEnded();
    // A talk message: `sound` of an accepted packet, or a packet that broke the rules (wrong
    // size, last-fragment flag missing, or sent without an accepted request).
    void addSound(std::span<const std::byte> sound);
    void addBadPacket();
    void clear();

    // "listening=N packets=N bytes=N bad=N stops=N"
    std::string describe() const;
    // Writes the kept sound bytes; false (with `error`) when the file cannot be written whole.
    bool dump(const std::string& path, std::string& error) const;

private:
    mutable std::mutex m_mutex; // guards everything below
    std::int32_t m_refusal = 0;
    int m_listening = 0;
    std::uint64_t m_packets = 0;
    std::uint64_t m_bad = 0;
    std::uint64_t m_stops = 0;
    std::vector<std::byte> m_sound;
};

// The simulator's one store.
TalkStore& talkStore();

// Admin commands "talk-refuse CODE" (0: accept), "talk-status", "talk-dump FILE", "talk-clear";
// `words` holds the command and its arguments. Returns the one-line reply.
std::string runTalkCommand(const std::vector<std::string>& words);

} // namespace kalder::sim
