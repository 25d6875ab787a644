#include "decode/decoder_init_error_event.h"

#include <QCoreApplication>

namespace kalder {

QEvent::Type DecoderInitErrorEvent::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postDecoderInitError(QObject* receiver, unsigned channel, std::uint64_t generation) {
    if (receiver != nullptr) {
        QCoreApplication::postEvent(receiver, new DecoderInitErrorEvent(channel, generation));
    }
}

} // namespace kalder
