#pragma once

#include "wire/device_records.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace kalder {

class RecorderSession;

// What pressing the record button leads to.
enum class RecordPress {
    Nothing,     // not logged in
    SentOn,      // REC_ON_REQ sent
    AskPassword, // recording, and the user may stop it: ask for the password first
    NoRight,     // recording, and the user may not stop it: notification (15,0)
};
RecordPress recordButtonAction(bool loggedIn, bool recordingOn, bool mayStopRecording);

// What the answer to the record-off password prompt leads to.
enum class RecordOffAnswer {
    Sent,          // REC_OFF_REQ sent
    WrongPassword, // nothing sent, nothing shown
    NotLoggedIn,   // the session ended while the prompt was open: nothing
    RightLost,     // the stop-recording right went while the prompt was open: (15,0)
};
// The typed text must equal the session's password exactly (case counts).
RecordOffAnswer recordOffAction(bool loggedIn, bool mayStopRecording, std::string_view typed,
                                std::string_view password);

// The one-shot commands on the recorder as a whole: recording on and off, restart, configuration
// reset, test mail, the recorder's clock. Their replies are handled by RecorderStatus (state,
// record button, notifications). GUI thread (or the command-line front end's thread).
class DeviceCommands {
public:
    explicit DeviceCommands(RecorderSession& session) : m_session(session) {}
    DeviceCommands(const DeviceCommands&) = delete;
    DeviceCommands& operator=(const DeviceCommands&) = delete;

    // The record button: REC_ON_REQ while not recording; otherwise the caller shows the password
    // prompt (AskPassword) or the refusal has been posted (NoRight).
    RecordPress pressRecord();
    // The prompt's OK: REC_OFF_REQ when the typed password is right and the right still held.
    RecordOffAnswer answerRecordOffPrompt(std::string_view typed);

    // REC_ON_REQ as the record button sends it while not recording (the command line's
    // "record on", which does not depend on the state the recorder last reported).
    void requestRecordOn();

    // REBOOT_REQ with the restart right; without it (15,0) is posted and false returned.
    bool requestReboot();
    // DB_INIT_REQ (after the operator confirmed the reset).
    void requestDbInit();
    // SEND_TEST_MAIL_REQ with the mail settings block of the record being edited, unchanged.
    void sendTestMail(std::span<const std::byte, kTestMailRequestSize> mailSettings);
    // DVR_TIME_REQ; the reply reaches the receiver as RecorderTimeToTimePage.
    void requestRecorderTime();

private:
    RecorderSession& m_session;
};

} // namespace kalder
