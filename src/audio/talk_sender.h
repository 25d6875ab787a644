#pragma once

#include "audio/sound_input.h"
#include "wire/talk_packet.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace kalder {

// Talking to the recorder: captured sound becomes 2,048-byte talk packets in a list of at most
// 200 (the oldest goes when a new one would exceed it); the sender thread sends the oldest
// waiting packet and then sleeps 100 ms, so at most ten leave a second. Capture makes 15.625 a
// second, so while talking the list fills up and the oldest sound is dropped.
class TalkSender final : public TalkSlotObject {
public:
    static constexpr std::size_t kMaxPackets = 200;
    static constexpr std::chrono::milliseconds kSendPause{100};
    // Sender thread: one whole talk message on the session's connection.
    using Send = std::function<void(const TalkPacket&)>;

    explicit TalkSender(Send send);
    ~TalkSender() override;

    // Owner's thread, once: records from `device` into the packet list. False (nothing
    // recorded) without a device.
    bool startCapture(std::unique_ptr<CaptureDevice> device);
    // Input thread (or whoever supplies sound): one capture buffer.
    void addCaptured(std::span<const std::byte> sound);

    std::size_t waitingPackets() const;
    std::uint64_t packetsSent() const { return m_sent; }
    std::uint64_t packetsDropped() const { return m_dropped; }

private:
    void run();

    const Send m_send;
    mutable std::mutex m_packetLock; // guards m_packets and the stop request
    std::condition_variable m_stopWake;
    std::deque<TalkPacket> m_packets;
    bool m_stopRequested = false;
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_dropped{0};
    std::thread m_thread;
    std::unique_ptr<SoundInput> m_input; // after the thread: stopped first on destruction
};

} // namespace kalder
