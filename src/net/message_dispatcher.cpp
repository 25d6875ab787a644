#include "net/message_dispatcher.h"

#include "net/trace.h"
#include "net/transport.h"
#include "wire/message_catalogue.h"

namespace kalder {

void MessageDispatcher::setHandler(std::uint16_t id, Handler handler) {
    if (id < m_handlers.size())
        m_handlers[id] = std::move(handler);
}

void MessageDispatcher::setEmptyReplyHandler(std::uint16_t id,
                                             std::function<void(const MessageHeader&)> handler) {
    setHandler(id, [this, handler = std::move(handler)](const MessageHeader& header) {
        if (header.payloadLength != 0 && !discardPayload(m_source, header))
            return false;
        handler(header);
        return true;
    });
}

bool MessageDispatcher::hasHandler(std::uint16_t id) const {
    return id < m_handlers.size() && static_cast<bool>(m_handlers[id]);
}

bool MessageDispatcher::dispatch(const MessageHeader& header) {
    const std::uint16_t id = header.messageId();
    // Live video arrives hundreds of times a second; everything else is worth a line.
    if (traceEnabled() && id != MessageId::LIVE_DATA) {
        const MessageInfo* info = findMessage(id, Direction::ToClient);
        trace("<- %s (%u) %u bytes\n", info ? info->name : "?", unsigned(id),
              unsigned(header.payloadLength));
    }
    if (const Handler& handler = m_handlers[id])
        return handler(header);
    if (header.code < kKeepAliveCode)
        trace("Unknown message...0x%x\n", id);
    return discardPayload(m_source, header);
}

} // namespace kalder
