#pragma once

#include "wire/message_header.h"
#include "wire/ptz_records.h"

#include <atomic>
#include <cstdint>
#include <span>

namespace kalder {

class RecorderSession;

// The channel PTZ commands go to: `ptzChannel` when it is shown and has video, else the channel
// of the first shown pane (in pane order) that has video; -1 when no shown channel has video.
// `paneChannels` holds the channel (0-15) of each shown pane, -1 for an empty pane.
int choosePtzChannel(int ptzChannel, std::span<const int> paneChannels,
                     std::uint16_t videoLossMask);

// PTZ control of one camera through the recorder: PTZ_CHANNEL_REQ selects the channel (the
// recorder answers whether it has a camera), PTZ_MOVE_REQ carries one command, PTZ_MOVE_STOP
// ends a movement. The panel, keypad and dome-menu windows (and kalder-cli) drive it.
// GUI thread, except the PTZ_CHANNEL_ACK handler (receive thread), which stores the answer and
// posts PtzAvailability to the receiver.
class PtzControl {
public:
    // `ptzAvailable` values.
    enum Availability : int { NotAnswered = 0, NoCamera = 1, CameraPresent = 2 };

    explicit PtzControl(RecorderSession& session);
    PtzControl(const PtzControl&) = delete;
    PtzControl& operator=(const PtzControl&) = delete;

    // PTZ_CHANNEL_REQ for `channel` with the panel mode; the answer comes later.
    void selectPtzChannel(int channel, PtzMode mode);
    // A direction button pressed (PTZ_MOVE_REQ with the mode's command) or released
    // (PTZ_MOVE_STOP).
    void sendPtzMove(bool press, PtzDirection direction, PtzMode mode);
    // PTZ_MOVE_REQ with command 8 + code and the number (0-999) as parameter.
    void sendPresetCommand(int code, int number);
    // Dome-menu commands 13-16.
    void sendCommand(std::uint8_t command);

    // Learning a path: started by the keypad's OK (Learn, Set), ended (command 11 with the
    // number it started with) by a preset button or by closing the panel.
    void startLearning(int number);
    bool learnActive() const { return m_learnActive; }
    int learnNumber() const { return m_learnNumber; }
    // Sends the end of learning when it is active; false when it was not.
    bool endLearning();

    int ptzChannel() const { return m_ptzChannel; }
    int ptzAvailable() const { return m_ptzAvailable; }
    // The panel closed: channel and answer forgotten.
    void reset();

private:
    bool RecvFn_PtzChannelAck(const MessageHeader& header);

    RecorderSession& m_session;
    std::atomic<int> m_ptzChannel{0};
    std::atomic<int> m_ptzAvailable{NotAnswered}; // written by the receive thread
    bool m_learnActive = false;                   // GUI thread
    int m_learnNumber = 0;                        // GUI thread
};

} // namespace kalder
