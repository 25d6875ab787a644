#include "session/device_commands.h"

#include "session/recorder_session.h"
#include "wire/message_catalogue.h"

namespace kalder {

RecordPress recordButtonAction(bool loggedIn, bool recordingOn, bool mayStopRecording) {
    if (!loggedIn)
        return RecordPress::Nothing;
    if (!recordingOn)
        return RecordPress::SentOn;
    return mayStopRecording ? RecordPress::AskPassword : RecordPress::NoRight;
}

RecordOffAnswer recordOffAction(bool loggedIn, bool mayStopRecording, std::string_view typed,
                                std::string_view password) {
    if (!loggedIn)
        return RecordOffAnswer::NotLoggedIn;
    if (!mayStopRecording)
        return RecordOffAnswer::RightLost;
    return typed == password ? RecordOffAnswer::Sent : RecordOffAnswer::WrongPassword;
}

RecordPress DeviceCommands::pressRecord() {
    const RecordPress action =
        recordButtonAction(m_session.loggedIn(), m_session.status().recordingOn(),
                           m_session.status().mayStopRecording());
    if (action == RecordPress::SentOn)
        requestRecordOn();
    else if (action == RecordPress::NoRight)
        m_session.notify({15, 0});
    return action;
}

RecordOffAnswer DeviceCommands::answerRecordOffPrompt(std::string_view typed) {
    const RecordOffAnswer answer = recordOffAction(
        m_session.loggedIn(), m_session.status().mayStopRecording(), typed, m_session.password());
    if (answer == RecordOffAnswer::Sent)
        m_session.send(makeHeader(MessageId::REC_OFF_REQ));
    else if (answer == RecordOffAnswer::RightLost)
        m_session.notify({15, 0});
    return answer;
}

void DeviceCommands::requestRecordOn() {
    m_session.send(makeHeader(MessageId::REC_ON_REQ));
}

bool DeviceCommands::requestReboot() {
    if (!m_session.status().mayRestart()) {
        m_session.notify({15, 0});
        return false;
    }
    m_session.send(makeHeader(MessageId::REBOOT_REQ));
    return true;
}

void DeviceCommands::requestDbInit() {
    m_session.send(makeHeader(MessageId::DB_INIT_REQ));
}

void DeviceCommands::sendTestMail(std::span<const std::byte, kTestMailRequestSize> mailSettings) {
    m_session.send(makeHeader(MessageId::SEND_TEST_MAIL_REQ, kTestMailRequestSize), mailSettings);
}

void DeviceCommands::requestRecorderTime() {
    m_session.send(makeHeader(MessageId::DVR_TIME_REQ));
}

} // namespace kalder
