#pragma once

#include "net/transport.h"
#include "sim/live_frame_builder.h"
#include "sim/media_source.h"
#include "sim/recorder_model.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kalder::sim {

// Something the admin interface asks a connection to do, carried out on its output thread.
struct ConnectionAction {
    enum class Kind {
        Bye,              // BYE48 with `value` as reason, then close
        Drop,             // close at once
        CloseMidFragment, // the next frame stops in the middle of a message, then close
        BadMagic,         // the next frame has a wrong magic
        Oversized,        // the next frame is larger than any client assembly buffer
        UnknownId,        // message `id` with `length` payload bytes
        CodeFFFF,         // a message with code word 0xFFFF and 8 payload bytes
        Notice257,        // NOTICE_257 with 12 bytes
        LiveNack,         // LIVE_NACK with `value` as code; live streaming stops
        Push,             // status records named by `value` (ModelChange bits)
        FloodBye,         // `count` BYE48 with `value` as reason; the connection stays
        FloodHelloAck,    // `count` more HELLO48_ACK of the logged-in account
        FloodChannelInfo, // `count` LIVE_CHANNEL_INFO of the current live set
        KeyFrameFlood,    // key frames of channel `value` padded to `length` bytes, as fast as
                          // the socket takes them, for `count` seconds
        HugePicture,      // `count` key frames of channel `value` whose bitstream announces a
                          // `width` x `height` picture; the block still says the usual size
    };
    Kind kind = Kind::Drop;
    std::int32_t value = 0;
    std::uint16_t id = 0;
    std::uint32_t length = 0;
    std::uint32_t count = 0;
    unsigned width = 0;
    unsigned height = 0;
};

// The messages a recorder keeps silent about (the admin's `mute` knob): a request of such an id
// is read and never answered, a record or reply of such an id is never sent. Kept per recorder
// model, so that two simulators in one process keep their own; read by every connection of
// that recorder on each message. Any thread.
void setMessageMuted(const RecorderModel& model, std::uint16_t id, bool muted);
bool messageMuted(const RecorderModel& model, std::uint16_t id);

// The frame block's picture fields for a loop's picture size.
void describeLoopPicture(FrameParts& parts, const LoopParams& params);

// The faults of one connection: the admin's actions, the stall and mute knobs, the faults armed
// for the next paced frame and the farewell after login. The connection asks it at the points
// where a fault changes what it does; everything a fault sends goes out here or through the
// connection's own sends (`Connection`).
//
// Threads: run() and the frame faults on the connection's output thread; setStalled() from the
// admin thread; stalled() and muted() from any thread of the connection.
class FaultInjector {
public:
    // What a fault does through its connection (output thread).
    struct Connection {
        // One message with the connection's audio flag; nothing while stalled or muted.
        std::function<void(std::uint16_t id, std::span<const std::byte> payload)> send;
        // Shuts the sending side and waits for the client to close.
        std::function<void()> closeGracefully;
        std::function<void(unsigned changes)> sendStatusPushes; // ModelChange bits
        std::function<void()> sendLiveChannelInfo;
        // Live streaming ends as if the client had never asked for it.
        std::function<void()> stopLive;
        std::function<int()> account; // the logged-in account, -1 before login
        std::function<void(const std::string&)> log;
    };

    // `stop` is the connection's stop flag; the floods end when it rises.
    FaultInjector(RecorderModel& model, const MediaSource& media, MessageSocket& socket,
                  const std::atomic<bool>& stop, std::size_t maxFragmentBytes,
                  std::optional<std::int32_t> byeAfterLogin, Connection connection);

    // Output thread: carries out one admin action.
    void run(const ConnectionAction& action);

    // Nothing at all is sent while stalled; the connection stays open.
    void setStalled(bool stalled) { m_stalled = stalled; }
    bool stalled() const { return m_stalled.load(); }
    // The recorder's mute knob for message `id`.
    bool muted(std::uint16_t id) const { return messageMuted(m_model, id); }
    // The reason of the BYE48 that follows the login's status pushes, if the connection says
    // farewell at once.
    std::optional<std::int32_t> byeAfterLogin() const { return m_byeAfterLogin; }

    // Output thread: the next paced frame takes the armed block faults (bad magic, oversized).
    void shapeNextFrame(FrameParts& parts);
    // Output thread, under the send lock: with close-mid-fragment armed, how many of the next
    // frame's wire bytes go out before the connection ends (the header and half of the first
    // fragment's payload); nothing: the whole frame goes out.
    std::optional<std::size_t> takeFrameCut(std::size_t frameBytes);

private:
    void sendUnknownId(std::uint16_t id, std::uint32_t length);
    void sendCodeFFFF();
    void sendNotice257();
    void stopLiveWithNack(std::int32_t code);
    void floodHelloAck(std::uint32_t count);
    void sendHugePictures(unsigned channel, unsigned width, unsigned height, unsigned count);
    void floodKeyFrames(unsigned channel, std::size_t bytes,
                        std::chrono::steady_clock::duration duration);
    void sendNack(std::uint16_t id, std::int32_t code);

    RecorderModel& m_model;
    const MediaSource& m_media;
    MessageSocket& m_socket;
    const std::atomic<bool>& m_stop;
    const std::size_t m_maxFragmentBytes;
    const std::optional<std::int32_t> m_byeAfterLogin;
    const Connection m_connection;

    std::atomic<bool> m_stalled{false};
    // Output thread only: faults armed for the next paced frame.
    bool m_armCloseMidFragment = false;
    bool m_armBadMagic = false;
    bool m_armOversized = false;
};

} // namespace kalder::sim
