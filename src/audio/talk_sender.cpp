#include "audio/talk_sender.h"

namespace kalder {

TalkSender::TalkSender(Send send) : m_send(std::move(send)) {
    m_thread = std::thread([this] { run(); });
}

TalkSender::~TalkSender() {
    // The sender thread first, then the input; the remaining packets go with the list.
    {
        std::lock_guard lock(m_packetLock);
        m_stopRequested = true;
    }
    m_stopWake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_input.reset();
}

bool TalkSender::startCapture(std::unique_ptr<CaptureDevice> device) {
    if (!device || m_input)
        return false;
    m_input = std::make_unique<SoundInput>(
        std::move(device), [this](std::span<const std::byte> sound) { addCaptured(sound); });
    return true;
}

void TalkSender::addCaptured(std::span<const std::byte> sound) {
    const TalkPacket packet = encodeTalkPacket(sound);
    std::lock_guard lock(m_packetLock);
    if (m_packets.size() >= kMaxPackets) {
        m_packets.pop_front();
        ++m_dropped;
    }
    m_packets.push_back(packet);
}

std::size_t TalkSender::waitingPackets() const {
    std::lock_guard lock(m_packetLock);
    return m_packets.size();
}

// Sender thread.
void TalkSender::run() {
    std::unique_lock lock(m_packetLock);
    while (!m_stopRequested) {
        if (!m_packets.empty()) {
            const TalkPacket packet = m_packets.front();
            m_packets.pop_front();
            lock.unlock();
            m_send(packet);
            ++m_sent;
            lock.lock();
        }
        m_stopWake.wait_for(lock, kSendPause, [this] { return m_stopRequested; });
    }
}

} // namespace kalder
