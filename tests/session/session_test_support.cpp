#include "session_test_support.h"

#include "wire/byte_writer.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kalder::test {

void ensureCoreApplication() {
    static int argc = 1;
    static char name[] = "session_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

bool EventRecorder::event(QEvent* event) {
    if (auto* m = dynamic_cast<WindowMessageEvent*>(event)) {
        PostedMessage posted{m->message(), m->wParam(), m->lParam(), m->generation()};
        m_messages.push_back(posted);
        if (onMessage)
            onMessage(posted);
        return true;
    }
    return QObject::event(event);
}

std::vector<Notification> EventRecorder::notifications() const {
    std::vector<Notification> result;
    for (const PostedMessage& m : m_messages)
        if (m.message == WindowMessage::Notification)
            result.push_back(Notification::fromLParam(static_cast<std::uint32_t>(m.lParam)));
    return result;
}

std::size_t EventRecorder::count(int message) const {
    std::size_t n = 0;
    for (const PostedMessage& m : m_messages)
        n += m.message == message;
    return n;
}

std::optional<PostedMessage> EventRecorder::last(int message) const {
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it)
        if (it->message == message)
            return *it;
    return std::nullopt;
}

bool EventRecorder::hasNotification(Notification n) const {
    for (const Notification& got : notifications())
        if (got == n)
            return true;
    return false;
}

void pumpEvents() {
    QCoreApplication::sendPostedEvents();
}

ScriptedRecorder::ScriptedRecorder() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    m_sessionFd = fds[0];
    m_fd = fds[1];
}

ScriptedRecorder::~ScriptedRecorder() {
    close();
}

void ScriptedRecorder::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void ScriptedRecorder::writeRaw(std::span<const std::byte> bytes) const {
    writeAllBytes(m_fd, bytes);
}

void ScriptedRecorder::send(const MessageHeader& header, std::span<const std::byte> payload) const {
    writeMessage(m_fd, header, payload);
}

void ScriptedRecorder::send(std::uint16_t id, std::span<const std::byte> payload,
                            std::uint16_t fragmentFlags, std::uint16_t codeExtra,
                            std::uint32_t word3) const {
    MessageHeader h = makeHeader(id, static_cast<std::uint16_t>(payload.size()));
    h.code = static_cast<std::uint16_t>(h.code | codeExtra);
    h.fragmentFlags = fragmentFlags;
    h.headerWord3 = word3;
    send(h, payload);
}

std::optional<WireMessage> ScriptedRecorder::read(std::chrono::milliseconds limit) {
    return readMessage(m_fd, limit);
}

std::optional<WireMessage> ScriptedRecorder::readUntil(std::uint16_t id,
                                                       std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        auto m = read(std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now()));
        if (!m)
            return std::nullopt;
        m_seen.push_back(*m);
        if (m->header.messageId() == id)
            return m;
    }
    return std::nullopt;
}

bool ScriptedRecorder::sessionClosed(std::chrono::milliseconds limit) {
    return waitForPeerClose(m_fd, limit);
}

namespace {

class FrameSink : public FrameConsumer {
public:
    FrameSink(FrameSinkFactory& factory, unsigned channel)
        : m_factory(factory), m_channel(channel) {}
    ~FrameSink() override { note("destroy"); }
    void enqueueFrame(std::unique_ptr<FrameRecord> frame) override {
        std::lock_guard lock(m_factory.m_mutex);
        m_factory.m_frames[m_channel].push_back(std::move(*frame));
    }
    bool discardAll() const override { return m_discard; }
    void setDiscardAll() override {
        m_discard = true;
        note("discard");
    }
    std::size_t queuedFrames() const override { return 0; }
    void waitUntilDrained() override {}
    void stop() override { note("stop"); }
    void setVideoLoss(bool lost) override {
        m_videoLoss = lost;
        std::lock_guard lock(m_factory.m_mutex);
        m_factory.m_videoLoss[m_channel] = lost;
    }
    bool videoLoss() const override { return m_videoLoss; }

private:
    void note(const char* what) {
        std::lock_guard lock(m_factory.m_mutex);
        m_factory.m_journal.push_back(std::string(what) + " " + std::to_string(m_channel));
        if (std::string(what) == "destroy") {
            --m_factory.m_alive;
            m_factory.m_videoLoss.erase(m_channel);
        }
    }
    FrameSinkFactory& m_factory;
    unsigned m_channel;
    std::atomic<bool> m_discard{false};
    std::atomic<bool> m_videoLoss{false};
};

class AudioSink : public AudioConsumer {
public:
    explicit AudioSink(AudioSinkFactory& factory) : m_factory(factory) {}
    ~AudioSink() override {
        std::lock_guard lock(m_factory.m_mutex);
        --m_factory.m_alive;
    }
    void enqueueAudio(std::span<const std::byte> element) override {
        std::lock_guard lock(m_factory.m_mutex);
        m_factory.m_elements.emplace_back(element.begin(), element.end());
    }
    std::size_t queuedBuffers() const override { return 0; }
    void waitUntilDrained() override {}
    void setDiscardAll(bool discard) override {
        std::lock_guard lock(m_factory.m_mutex);
        m_factory.m_controls.push_back(discard ? "discard on" : "discard off");
    }
    void flush() override {
        std::lock_guard lock(m_factory.m_mutex);
        m_factory.m_controls.push_back("flush");
    }

private:
    AudioSinkFactory& m_factory;
};

} // namespace

std::unique_ptr<FrameConsumer> FrameSinkFactory::createConsumer(unsigned channel) {
    {
        std::lock_guard lock(m_mutex);
        m_journal.push_back("create " + std::to_string(channel));
        ++m_alive;
    }
    return std::make_unique<FrameSink>(*this, channel);
}

std::vector<FrameRecord> FrameSinkFactory::frames(unsigned channel) const {
    std::lock_guard lock(m_mutex);
    auto it = m_frames.find(channel);
    return it == m_frames.end() ? std::vector<FrameRecord>{} : it->second;
}

std::size_t FrameSinkFactory::totalFrames() const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto& [channel, frames] : m_frames)
        n += frames.size();
    return n;
}

std::size_t FrameSinkFactory::alive() const {
    std::lock_guard lock(m_mutex);
    return m_alive;
}

bool FrameSinkFactory::videoLoss(unsigned channel) const {
    std::lock_guard lock(m_mutex);
    auto it = m_videoLoss.find(channel);
    return it != m_videoLoss.end() && it->second;
}

std::vector<std::string> FrameSinkFactory::journal() const {
    std::lock_guard lock(m_mutex);
    return m_journal;
}

std::unique_ptr<AudioConsumer> AudioSinkFactory::startPlayer(StreamKind) {
    std::lock_guard lock(m_mutex);
    ++m_started;
    ++m_alive;
    return std::make_unique<AudioSink>(*this);
}

std::size_t AudioSinkFactory::started() const {
    std::lock_guard lock(m_mutex);
    return m_started;
}

std::size_t AudioSinkFactory::alive() const {
    std::lock_guard lock(m_mutex);
    return m_alive;
}

std::vector<std::vector<std::byte>> AudioSinkFactory::elements() const {
    std::lock_guard lock(m_mutex);
    return m_elements;
}

std::vector<std::string> AudioSinkFactory::controls() const {
    std::lock_guard lock(m_mutex);
    return m_controls;
}

std::vector<std::byte> be32Bytes(std::uint32_t value) {
    std::vector<std::byte> bytes(4);
    ByteWriter w(bytes);
    w.writeBe32(value);
    return bytes;
}

} // namespace kalder::test
