#pragma once

#include "wire/message_header.h"

#include <array>
#include <cstdint>
#include <functional>

namespace kalder {

class ReceiveSource;

// Selects the receive handler of an incoming header by its message id (the low 7 bits of the
// code word play no part in the choice). A handler reads exactly `payloadLength` bytes itself
// and returns false only when the connection must end.
class MessageDispatcher {
public:
    using Handler = std::function<bool(const MessageHeader&)>;

    explicit MessageDispatcher(ReceiveSource& source) : m_source(source) {}

    void setHandler(std::uint16_t id, Handler handler);
    // For replies that carry nothing: any payload the recorder sends anyway is read and dropped
    // first, so that the next read starts on a header; then `handler` runs.
    void setEmptyReplyHandler(std::uint16_t id, std::function<void(const MessageHeader&)> handler);
    bool hasHandler(std::uint16_t id) const;

    // Runs the handler of `header`'s id. Ids without a handler: the payload is read and dropped
    // (traced as unknown unless the code is 0xFF80 or above, the keep-alive). Returns false when
    // the connection must end.
    bool dispatch(const MessageHeader& header);

private:
    ReceiveSource& m_source;
    std::array<Handler, 512> m_handlers;
};

} // namespace kalder
