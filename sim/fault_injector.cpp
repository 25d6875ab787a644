#include "sim/fault_injector.h"

#include "wire/byte_writer.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace kalder::sim {

namespace {

// Size of the oversized-frame fault: larger than the client's 1,244,160-byte assembly buffer.
constexpr std::size_t kOversizedFrameBytes = 1300000;

// The muted message ids of every recorder model of the process.
struct MutedMessages {
    std::mutex mutex; // guards `ids`
    std::vector<std::pair<const RecorderModel*, std::uint16_t>> ids;
};

MutedMessages& mutedMessages() {
    static MutedMessages muted;
    return muted;
}

// The loop's first key frame, padded with a filler unit of noise to `bytes`; nothing without
// a key frame.
std::optional<std::vector<std::byte>> paddedKeyFrame(const VideoLoop& loop, std::size_t bytes) {
    const auto key = std::find_if(loop.frames.begin(), loop.frames.end(),
                                  [](const EncodedFrame& f) { return f.key; });
    if (key == loop.frames.end())
        return std::nullopt;
    std::vector<std::byte> video(key->data.begin(), key->data.end());
    if (bytes > video.size() + 6) {
        // Filler data (NAL type 12): start code, header, noise without zero bytes so that no
        // start code appears inside, and the stop bit.
        const std::byte filler[] = {std::byte{0}, std::byte{0}, std::byte{0}, std::byte{1},
                                    std::byte{0x0C}};
        video.insert(video.end(), std::begin(filler), std::end(filler));
        std::uint32_t noise = 0x2545F491u;
        while (video.size() + 1 < bytes) {
            noise = noise * 1664525u + 1013904223u;
            video.push_back(std::byte{static_cast<std::uint8_t>((noise >> 24) | 1)});
        }
        video.push_back(std::byte{0x80});
    }
    return video;
}

std::string formatFaultLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string formatFaultLine(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

} // namespace

void setMessageMuted(const RecorderModel& model, std::uint16_t id, bool muted) {
    MutedMessages& m = mutedMessages();
    std::lock_guard lock(m.mutex);
    const std::pair<const RecorderModel*, std::uint16_t> entry{&model, id};
    std::erase(m.ids, entry);
    if (muted)
        m.ids.push_back(entry);
}

bool messageMuted(const RecorderModel& model, std::uint16_t id) {
    MutedMessages& m = mutedMessages();
    std::lock_guard lock(m.mutex);
    return std::find(m.ids.begin(), m.ids.end(), std::pair{&model, id}) != m.ids.end();
}

void describeLoopPicture(FrameParts& parts, const LoopParams& params) {
    parts.resolutionCode = params.width == 352 ? 0 : (params.height <= 288 ? 5 : 1);
    parts.pal = params.height == 288 || params.height == 576;
}

FaultInjector::FaultInjector(RecorderModel& model, const MediaSource& media, MessageSocket& socket,
                             const std::atomic<bool>& stop, std::size_t maxFragmentBytes,
                             std::optional<std::int32_t> byeAfterLogin, Connection connection)
    : m_model(model), m_media(media), m_socket(socket), m_stop(stop),
      m_maxFragmentBytes(maxFragmentBytes), m_byeAfterLogin(byeAfterLogin),
      m_connection(std::move(connection)) {}

void FaultInjector::run(const ConnectionAction& action) {
    using Kind = ConnectionAction::Kind;
    switch (action.kind) {
    case Kind::Bye:
        sendNack(MessageId::BYE48, action.value);
        m_connection.closeGracefully();
        break;
    case Kind::Drop:
        m_socket.shutdownBoth();
        break;
    case Kind::CloseMidFragment:
        m_armCloseMidFragment = true;
        break;
    case Kind::BadMagic:
        m_armBadMagic = true;
        break;
    case Kind::Oversized:
        m_armOversized = true;
        break;
    case Kind::UnknownId:
        sendUnknownId(action.id, action.length);
        break;
    case Kind::CodeFFFF:
        sendCodeFFFF();
        break;
    case Kind::Notice257:
        sendNotice257();
        break;
    case Kind::LiveNack:
        stopLiveWithNack(action.value);
        break;
    case Kind::Push:
        m_connection.sendStatusPushes(static_cast<unsigned>(action.value));
        break;
    case Kind::FloodBye:
        for (std::uint32_t i = 0; i < action.count && !m_stop; ++i)
            sendNack(MessageId::BYE48, action.value);
        break;
    case Kind::FloodHelloAck:
        floodHelloAck(action.count);
        break;
    case Kind::FloodChannelInfo:
        for (std::uint32_t i = 0; i < action.count && !m_stop; ++i)
            m_connection.sendLiveChannelInfo();
        break;
    case Kind::KeyFrameFlood:
        floodKeyFrames(static_cast<unsigned>(action.value), action.length,
                       std::chrono::seconds(action.count));
        break;
    case Kind::HugePicture:
        sendHugePictures(static_cast<unsigned>(action.value), action.width, action.height,
                         action.count);
        break;
    }
}

void FaultInjector::shapeNextFrame(FrameParts& parts) {
    if (std::exchange(m_armBadMagic, false))
        parts.badMagic = true;
    if (std::exchange(m_armOversized, false))
        parts.padToBytes = kOversizedFrameBytes;
}

std::optional<std::size_t> FaultInjector::takeFrameCut(std::size_t frameBytes) {
    if (!std::exchange(m_armCloseMidFragment, false))
        return std::nullopt;
    const std::size_t firstPayload = std::min(frameBytes, m_maxFragmentBytes);
    return kHeaderSize + firstPayload / 2;
}

void FaultInjector::sendNack(std::uint16_t id, std::int32_t code) {
    std::array<std::byte, 4> payload;
    ByteWriter w(payload);
    w.writeBe32(static_cast<std::uint32_t>(code));
    m_connection.send(id, payload);
}

void FaultInjector::sendUnknownId(std::uint16_t id, std::uint32_t length) {
    std::vector<std::byte> payload(std::min<std::uint32_t>(length, kMaxPayloadLength));
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<std::byte>(i * 7 + 3);
    m_connection.send(id, payload);
}

void FaultInjector::sendCodeFFFF() {
    if (m_stalled)
        return;
    MessageHeader header = makeHeader(0, 8);
    header.code = 0xFFFF;
    const std::array<std::byte, 8> payload{};
    sendMessage(m_socket, header, payload);
}

void FaultInjector::sendNotice257() {
    std::array<std::byte, 12> payload{};
    ByteWriter w(payload);
    w.writeBe32(1);
    w.writeBe32(m_model.recorderTime());
    w.writeBe32(0);
    m_connection.send(MessageId::NOTICE_257, payload);
}

void FaultInjector::stopLiveWithNack(std::int32_t code) {
    m_connection.stopLive();
    sendNack(MessageId::LIVE_NACK, code);
}

void FaultInjector::floodHelloAck(std::uint32_t count) {
    const int account = m_connection.account();
    if (account < 0)
        return;
    const auto record = encodeHelloRecord(m_model.helloRecord(static_cast<std::size_t>(account)));
    for (std::uint32_t i = 0; i < count && !m_stop; ++i)
        m_connection.send(MessageId::HELLO48_ACK, record);
}

// `count` key frames of a picture far larger than any recorder sends, encoded here once, in the
// channel's stream between its usual frames. The frame block announces the channel's usual
// size, as a broken or hostile recorder would.
void FaultInjector::sendHugePictures(unsigned channel, unsigned width, unsigned height,
                                     unsigned count) {
    const auto loop = m_media.loop(channel);
    if (!loop)
        return;
    LoopParams params = loop->params;
    params.width = width;
    params.height = height;
    params.framesPerSecond = 1;
    params.keyIntervalFrames = 1;
    params.frameCount = 1;
    std::string error;
    const auto huge = encodeVideoLoop(params, error);
    if (!huge || huge->frames.empty()) {
        m_connection.log(
            formatFaultLine("huge picture on channel %u: %s", channel + 1, error.c_str()));
        return;
    }
    FrameParts parts;
    parts.channel = static_cast<std::uint8_t>(channel);
    describeLoopPicture(parts, loop->params);
    parts.key = true;
    parts.video = huge->frames.front().data;
    m_connection.log(
        formatFaultLine("%u key frames of %ux%u on channel %u", count, width, height, channel + 1));
    for (unsigned i = 0; i < count && !m_stop; ++i) {
        m_model.recorderClock(parts.timeSeconds, parts.milliseconds);
        const std::vector<std::byte> wire =
            buildFragmentedMessages(buildFrame(parts), MessageId::LIVE_DATA, 0, channel,
                                    parts.timeSeconds, m_maxFragmentBytes);
        std::lock_guard lock(m_socket.sendMutex());
        if (!sendAll(m_socket, wire))
            break;
    }
}

// The channel's first key frame, padded to `bytes`, sent back to back until `duration` has
// passed. The socket's back-pressure is the only pace.
void FaultInjector::floodKeyFrames(unsigned channel, std::size_t bytes,
                                   std::chrono::steady_clock::duration duration) {
    const auto loop = m_media.loop(channel);
    if (!loop)
        return;
    const std::optional<std::vector<std::byte>> video = paddedKeyFrame(*loop, bytes);
    if (!video)
        return;
    FrameParts parts;
    parts.channel = static_cast<std::uint8_t>(channel);
    describeLoopPicture(parts, loop->params);
    parts.key = true;
    parts.video = *video;
    m_connection.log(formatFaultLine("key-frame flood on channel %u: %zu-byte frames", channel + 1,
                                     video->size()));
    const auto end = std::chrono::steady_clock::now() + duration;
    std::uint64_t sent = 0;
    while (std::chrono::steady_clock::now() < end && !m_stop) {
        m_model.recorderClock(parts.timeSeconds, parts.milliseconds);
        const std::vector<std::byte> frame = buildFrame(parts);
        const std::vector<std::byte> wire = buildFragmentedMessages(
            frame, MessageId::LIVE_DATA, 0, channel, parts.timeSeconds, m_maxFragmentBytes);
        std::lock_guard lock(m_socket.sendMutex());
        if (!sendAll(m_socket, wire))
            break;
        ++sent;
    }
    m_connection.log(formatFaultLine("key-frame flood ended after %llu frames",
                                     static_cast<unsigned long long>(sent)));
}

} // namespace kalder::sim
