#pragma once

// Proof that nothing happened: a round trip to the recorder after the action that must send
// nothing. The recorder answers one connection's requests in order and the session handles the
// answers in order, so once the answer to a request sent after the action is in, the recorder
// has seen everything the action sent, and the session has handled every answer to it.
#include "main_window.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "wire/device_records.h"

#include <QEvent>
#include <QObject>
#include <QTest>

#include <array>
#include <cstddef>

namespace kalder::test {

// Counts the test-mail answers the session posts to the window (GUI thread).
class TestMailAnswerWatch : public QObject {
public:
    explicit TestMailAnswerWatch(QObject* window) : m_window(window) {
        window->installEventFilter(this);
    }
    ~TestMailAnswerWatch() override { m_window->removeEventFilter(this); }
    int answers() const { return m_answers; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Type(WindowMessage::TestMailAnswer))
            ++m_answers;
        return false;
    }

private:
    QObject* m_window;
    int m_answers = 0;
};

// Sends the recorder a test mail (the recorder only logs it) and waits until its answer reaches
// the window. False when no answer came within `timeoutMs`.
inline bool recorderRoundTrip(MainWindow& window, int timeoutMs = 10000) {
    if (!window.session())
        return false;
    TestMailAnswerWatch watch(&window);
    const std::array<std::byte, kTestMailRequestSize> settings{};
    window.session()->device().sendTestMail(settings);
    return QTest::qWaitFor([&] { return watch.answers() > 0; }, timeoutMs);
}

} // namespace kalder::test
