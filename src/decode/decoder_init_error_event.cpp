#include "decode/decoder_init_error_event.h"

#include "post/post_to_window.h"

namespace kalder {

QEvent::Type DecoderInitErrorEvent::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postDecoderInitError(QObject* receiver, unsigned channel, std::uint64_t generation) {
    if (receiver != nullptr) {
        postToWindow(receiver, new DecoderInitErrorEvent(channel, generation));
    }
}

} // namespace kalder
