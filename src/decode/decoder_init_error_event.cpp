#include "decode/decoder_init_error_event.h"

#include <QCoreApplication>

namespace kalder {

QEvent::Type DecoderInitErrorEvent::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postDecoderInitError(QObject* receiver, unsigned channel) {
    if (receiver != nullptr) {
        QCoreApplication::postEvent(receiver, new DecoderInitErrorEvent(channel));
    }
}

} // namespace kalder
