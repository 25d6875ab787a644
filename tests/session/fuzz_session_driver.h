#pragma once

// Shared by the session fuzz targets: null consumers, and a driver that writes a byte stream
// into the session's socket (the recorder's end then closes) and lets the session's own receive
// thread read and dispatch it until the connection ends.
#include "files/local_log.h"
#include "wire/byte_writer.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "session/recorder_session.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kalder::fuzz {

class NullFrames : public FrameConsumer {
public:
    void enqueueFrame(std::unique_ptr<FrameRecord> frame) override {
        m_bytes += frame->data.size();
    }
    bool discardAll() const override { return m_discard; }
    void setDiscardAll() override { m_discard = true; }
    std::size_t queuedFrames() const override { return 0; }
    void waitUntilDrained() override {}
    void stop() override {}
    void setVideoLoss(bool lost) override { m_loss = lost; }
    bool videoLoss() const override { return m_loss; }

private:
    std::atomic<bool> m_discard{false};
    std::atomic<bool> m_loss{false};
    std::size_t m_bytes = 0;
};

class NullFrameFactory : public FrameConsumerFactory {
public:
    std::unique_ptr<FrameConsumer> createConsumer(unsigned) override {
        return std::make_unique<NullFrames>();
    }
};

class NullAudio : public AudioConsumer {
public:
    void enqueueAudio(std::span<const std::byte> element) override {
        if (element.size() != kAudioElementSize)
            __builtin_trap();
    }
    std::size_t queuedBuffers() const override { return 0; }
    void waitUntilDrained() override {}
    void setDiscardAll(bool) override {}
    void flush() override {}
};

class NullAudioFactory : public AudioConsumerFactory {
public:
    std::unique_ptr<AudioConsumer> startPlayer(StreamKind) override {
        return std::make_unique<NullAudio>();
    }
};

inline void appendMessage(std::vector<std::uint8_t>& out, std::uint16_t id,
                          std::span<const std::byte> payload) {
    const auto head = encodeHeader(makeHeader(id, static_cast<std::uint16_t>(payload.size())));
    for (std::byte b : head)
        out.push_back(std::to_integer<std::uint8_t>(b));
    for (std::byte b : payload)
        out.push_back(std::to_integer<std::uint8_t>(b));
}

// A valid login of a served recorder with `channels` channels, then live view on.
inline void appendLoginAndLive(std::vector<std::uint8_t>& stream, std::uint8_t channels,
                               std::uint8_t lossBits) {
    HelloRecord hello;
    hello.product_number = 4;
    hello.channel_num = channels;
    appendMessage(stream, MessageId::HELLO48_ACK, encodeHelloRecord(hello));
    const std::array<std::byte, 4> all{std::byte{0}, std::byte{lossBits}, std::byte{0xFF},
                                       std::byte{0xFF}};
    appendMessage(stream, MessageId::LIVE_CHANNEL_INFO, all);
}

// Runs one session over `stream`; returns when every thread of the session has ended.
inline void runSession(const std::vector<std::uint8_t>& stream, int singleViewChannel) {
    static const bool configured = [] {
        LocalLogSettings settings;
        settings.removableMode = true; // the log writes nothing
        configureLocalLog(settings);
        return true;
    }();
    (void)configured;

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return;
    // Everything goes into the socket up front (the caller keeps it below the socket buffer),
    // then the recorder's end closes: every read past the input must fail rather than hang.
    // Never block on a full socket buffer: what does not fit is cut off.
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    std::size_t written = 0;
    while (written < stream.size()) {
        const ssize_t w = ::write(fds[1], stream.data() + written, stream.size() - written);
        if (w <= 0)
            break;
        written += static_cast<std::size_t>(w);
    }
    ::close(fds[1]);

    NullFrameFactory frames;
    NullAudioFactory audio;
    RecorderSession session(nullptr);
    session.setUserId("admin");
    session.live().setFrameConsumerFactory(&frames);
    session.live().setAudioConsumerFactory(&audio);
    session.live().setSoundDeviceAvailable(true);
    session.live().setSingleViewChannel(singleViewChannel);
    session.setKeepAliveStep(std::chrono::milliseconds(1));
    session.startOnConnectedSocket(fds[0]);
    while (session.receiving())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    // The destructor stops what still runs (the keep-alive thread, the consumers).
}

} // namespace kalder::fuzz
