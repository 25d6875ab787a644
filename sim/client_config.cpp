// The configuration exchange from the recorder's side: the record in several DB_INFO_ACK
// pieces, updates checked and applied, and the factory reset.
#include "sim/client_connection.h"

#include "wire/message_catalogue.h"

#include <algorithm>

namespace kalder::sim {

namespace {

// Piece size of DB_INFO_ACK: odd, so that pieces end in the middle of fields and words.
constexpr std::size_t kConfigPieceBytes = 2999;

} // namespace

bool ClientConnection::handleConfigRequest(std::uint16_t id, std::span<const std::byte> payload) {
    ConfigStore& store = m_model.configStore();
    // Only an account with the remote-setup right reads or writes the record.
    const bool maySetup = m_model.hasRight(static_cast<std::size_t>(m_account.load()), 1);
    switch (id) {
    case MessageId::DB_INFO_REQ: {
        if (!maySetup) {
            sendNack(MessageId::DB48_INFO_NACK, 1);
            return true;
        }
        const std::vector<std::byte> transfer = store.transferPayload(m_model);
        log("DB_INFO_REQ: %zu bytes", transfer.size());
        std::size_t offset = 0;
        do {
            if (m_faults.stalled())
                return true;
            const std::size_t n = std::min(kConfigPieceBytes, transfer.size() - offset);
            MessageHeader header =
                makeHeader(MessageId::DB_INFO_ACK, static_cast<std::uint16_t>(n));
            if (offset + n == transfer.size())
                header.fragmentFlags = kFragmentLast;
            if (m_audioOn)
                header.code |= kCodeAudioFlag;
            sendMessage(m_socket, header, std::span(transfer).subspan(offset, n));
            offset += n;
        } while (offset < transfer.size());
        return true;
    }
    case MessageId::DB_UPDATE_REQ: {
        if (!maySetup) {
            sendNack(MessageId::DB_UPDATE_NACK, 1);
            return true;
        }
        store.applyUpdate(payload, m_model, [this, &payload](std::int32_t code) {
            log("DB_UPDATE_REQ: %zu bytes, %s %d", payload.size(), code ? "refused" : "applied",
                code);
            if (code != 0)
                sendNack(MessageId::DB_UPDATE_NACK, code);
            else
                send(MessageId::DB_UPDATE_ACK);
        });
        return true;
    }
    default:
        return false;
    }
}

} // namespace kalder::sim
