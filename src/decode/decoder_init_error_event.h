#pragma once

#include <QEvent>
#include <QObject>

namespace kalder {

// Shown in a message box when a decode thread could not set up its decoder.
inline constexpr const char* kDecoderInitErrorText = "H.264 Decoder Init Error !";

// Posted by a decode thread (through its DecodeHost) to the main window, which shows
// kDecoderInitErrorText once for each event.
class DecoderInitErrorEvent final : public QEvent {
public:
    explicit DecoderInitErrorEvent(unsigned channel) : QEvent(eventType()), m_channel(channel) {}

    static QEvent::Type eventType();
    unsigned channel() const { return m_channel; }

private:
    unsigned m_channel;
};

// Any thread: posts a DecoderInitErrorEvent to `receiver`, which must live for the whole run.
void postDecoderInitError(QObject* receiver, unsigned channel);

} // namespace kalder
