#include "sim/talk_store.h"

#include "sim/client_connection.h"
#include "wire/message_catalogue.h"
#include "wire/talk_packet.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace kalder::sim {

void TalkStore::setRefusal(std::int32_t code) {
    std::lock_guard lock(m_mutex);
    m_refusal = code;
}

std::int32_t TalkStore::refusal() const {
    std::lock_guard lock(m_mutex);
    return m_refusal;
}

void TalkStore::listenStarted() {
    std::lock_guard lock(m_mutex);
    ++m_listening;
}

void TalkStore::listenStopped() {
    std::lock_guard lock(m_mutex);
    if (m_listening > 0)
        --m_listening;
    ++m_stops;
}

void TalkStore::connectionEnded() {
    std::lock_guard lock(m_mutex);
    if (m_listening > 0)
        --m_listening;
}

void TalkStore::addSound(std::span<const std::byte> sound) {
    std::lock_guard lock(m_mutex);
    ++m_packets;
    if (m_sound.size() + sound.size() > kMaxBytes)
        m_sound.erase(m_sound.begin(), m_sound.begin() + static_cast<std::ptrdiff_t>(sound.size()));
    m_sound.insert(m_sound.end(), sound.begin(), sound.end());
}

void TalkStore::addBadPacket() {
    std::lock_guard lock(m_mutex);
    ++m_bad;
}

void TalkStore::clear() {
    std::lock_guard lock(m_mutex);
    m_packets = 0;
    m_bad = 0;
    m_stops = 0;
    m_sound.clear();
}

std::string TalkStore::describe() const {
    std::lock_guard lock(m_mutex);
    return "listening=" + std::to_string(m_listening) + " packets=" + std::to_string(m_packets) +
           " bytes=" + std::to_string(m_sound.size()) + " bad=" + std::to_string(m_bad) +
           " stops=" + std::to_string(m_stops);
}

bool TalkStore::dump(const std::string& path, std::string& error) const {
    std::vector<std::byte> copy;
    {
        std::lock_guard lock(m_mutex);
        copy = m_sound;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(copy.data(), 1, copy.size(), file) == copy.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "write failed";
        return false;
    }
    return true;
}

TalkStore& talkStore() {
    static TalkStore store;
    return store;
}

std::string runTalkCommand(const std::vector<std::string>& words) {
    TalkStore& store = talkStore();
    const std::string& cmd = words[0];
    if (cmd == "talk-refuse" && words.size() == 2) {
        char* rest = nullptr;
        const long code = std::strtol(words[1].c_str(), &rest, 10);
        if (words[1].empty() || *rest != '\0' || code < -2147483647L || code > 2147483647L)
            return "error usage: talk-refuse CODE (0: accept)";
        store.setRefusal(static_cast<std::int32_t>(code));
        return "ok";
    }
    if (cmd == "talk-status" && words.size() == 1)
        return "ok " + store.describe();
    if (cmd == "talk-clear" && words.size() == 1) {
        store.clear();
        return "ok";
    }
    if (cmd == "talk-dump" && words.size() == 2) {
        std::string error;
        if (!store.dump(words[1], error))
            return "error cannot write " + words[1] + ": " + error;
        return "ok";
    }
    return "error usage: talk-refuse CODE | talk-status | talk-dump FILE | talk-clear";
}

// Receive thread of a connection: the talk requests and the talk sound.
bool ClientConnection::handleTalk(const MessageHeader& header, std::span<const std::byte> payload) {
    TalkStore& store = talkStore();
    switch (header.messageId()) {
    case MessageId::A_LISTEN_REQ: {
        const std::int32_t refusal = store.refusal();
        if (refusal != 0) {
            log("A_LISTEN_REQ refused with %d", refusal);
            sendNack(MessageId::A_LISTEN_NACK, refusal);
            return true;
        }
        if (!m_talkAccepted.exchange(true))
            store.listenStarted();
        log("A_LISTEN_REQ accepted");
        send(MessageId::A_LISTEN_ACK);
        return true;
    }
    case MessageId::A_LISTEN_STOP_REQ:
        if (m_talkAccepted.exchange(false))
            store.listenStopped();
        log("A_LISTEN_STOP_REQ");
        send(MessageId::A_LISTEN_STOP_ACK);
        return true;
    case MessageId::A_TALK_DATA: {
        const auto sound = decodeTalkPacket(payload);
        if (!sound || !header.lastFragment() || !m_talkAccepted) {
            store.addBadPacket();
            return true;
        }
        store.addSound(*sound);
        return true;
    }
    default:
        return true;
    }
}

} // namespace kalder::sim
