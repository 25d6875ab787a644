#include "session/ptz_control.h"

#include "session/ptz_keypad.h"
#include "session/recorder_session.h"
#include "wire/message_catalogue.h"

namespace kalder {

int choosePtzChannel(int ptzChannel, std::span<const int> paneChannels,
                     std::uint16_t videoLossMask) {
    auto usable = [&](int channel) {
        return channel >= 0 && channel < 16 && (videoLossMask & (1u << channel)) == 0;
    };
    for (int channel : paneChannels)
        if (channel == ptzChannel && usable(channel))
            return ptzChannel;
    for (int channel : paneChannels)
        if (usable(channel))
            return channel;
    return -1;
}

PtzControl::PtzControl(RecorderSession& session) : m_session(session) {
    m_session.registerHandler(MessageId::PTZ_CHANNEL_ACK,
                              [this](const MessageHeader& h) { return RecvFn_PtzChannelAck(h); });
}

void PtzControl::selectPtzChannel(int channel, PtzMode mode) {
    if (channel < 0 || channel >= 16)
        return;
    m_ptzChannel = channel;
    const auto payload = encodePtzChannelRequest({static_cast<std::uint8_t>(channel), mode});
    m_session.send(makeHeader(MessageId::PTZ_CHANNEL_REQ, kPtzChannelRequestSize), payload);
}

void PtzControl::sendPtzMove(bool press, PtzDirection direction, PtzMode mode) {
    if (!press) {
        m_session.send(makeHeader(MessageId::PTZ_MOVE_STOP));
        return;
    }
    sendCommand(ptzMoveCommand(mode, direction));
}

void PtzControl::sendPresetCommand(int code, int number) {
    if (code < 0 || code > 9 || number < 0 || number > 999)
        return;
    const auto payload =
        encodePtzCommand({static_cast<std::uint8_t>(8 + code), static_cast<std::uint16_t>(number)});
    m_session.send(makeHeader(MessageId::PTZ_MOVE_REQ, kPtzCommandSize), payload);
}

void PtzControl::sendCommand(std::uint8_t command) {
    const auto payload = encodePtzCommand({command, 0});
    m_session.send(makeHeader(MessageId::PTZ_MOVE_REQ, kPtzCommandSize), payload);
}

void PtzControl::startLearning(int number) {
    m_learnActive = true;
    m_learnNumber = number;
}

bool PtzControl::endLearning() {
    if (!m_learnActive)
        return false;
    sendPresetCommand(PresetCode::LearnEnd, m_learnNumber);
    m_learnActive = false;
    m_learnNumber = 0;
    return true;
}

void PtzControl::reset() {
    m_ptzChannel = 0;
    m_ptzAvailable = NotAnswered;
}

bool PtzControl::RecvFn_PtzChannelAck(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    const bool camera = decodePtzChannelReply(payload);
    m_ptzAvailable = camera ? CameraPresent : NoCamera;
    // The panel enables or disables its movement and preset buttons.
    m_session.postLatest(WindowMessage::PtzAvailability, camera ? 1 : 0);
    return true;
}

} // namespace kalder
