#pragma once

#include "wire/config_record.h"
#include "wire/message_header.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kalder {

class RecorderSession;

// How a configuration exchange ended, for front ends that wait for it (ConfigExchangeEnded's
// wParam; lParam carries the recorder's reply code where there is one).
enum class ConfigExchangeEnd : int {
    Arrived = 0,         // the record arrived whole and its CRC matched (21031 follows too)
    FetchRefused = 1,    // DB48_INFO_NACK
    IntegrityFailed = 2, // CRC mismatch, a transfer too short for its CRC, or too large
    UpdateAccepted = 3,  // DB_UPDATE_ACK
    UpdateRefused = 4,   // DB_UPDATE_NACK
};

// The remote-setup exchange: the whole configuration record fetched with DB_INFO_REQ (arriving
// in DB_INFO_ACK pieces), checked, edited by the front end on a copy and sent back whole with
// DB_UPDATE_REQ. `setup_busy` is the session's configRequestPending flag: set by the request,
// cleared when the exchange ends or the connection does. Owned by its RecorderSession, whose
// receive thread runs the handlers; the other functions are for the GUI thread.
class SetupExchange {
public:
    // What the reassembly buffer holds at most; a transfer that would outgrow it is refused.
    static constexpr std::size_t kReassemblyCapacity = 1'244'160;

    explicit SetupExchange(RecorderSession& session);
    SetupExchange(const SetupExchange&) = delete;
    SetupExchange& operator=(const SetupExchange&) = delete;

    // GUI thread. Sends DB_INFO_REQ unless an exchange is already in progress or the session
    // is not logged in; false when nothing was sent.
    bool RequestConfig();
    // GUI thread. Sends the working copy back, sealed with the received transfer's length.
    // False (nothing sent, the exchange ends) when the session is not logged in, its
    // connection is gone, or no record was received.
    bool SendConfigUpdate(const ConfigRecord& workingCopy);
    // GUI thread. Sends a whole transfer payload built elsewhere (a saved file with a fresh CRC).
    bool sendUpdatePayload(std::vector<std::byte> payload);
    // GUI thread. The last update again, byte for byte, after the recorder refused it.
    bool resendConfigUpdate();
    // GUI thread. The setup window ended without an update (Cancel, Close, a close request, or
    // OK without a connection): the exchange is over.
    void endWithoutUpdate();
    // GUI thread. DB_INIT_REQ (factory defaults), then a close request to the setup window.
    bool requestFactoryReset();

    bool busy() const;

    // The last completed transfer as it arrived (CRC + record), whatever its CRC said, and
    // the record when the CRC matched. Read after 21031 or ConfigExchangeEnded.
    std::vector<std::byte> receivedPayload() const;
    std::optional<ConfigRecord> receivedRecord() const;
    // The length of the last transfer that arrived whole with a matching CRC: the length of
    // every update (`received_length`).
    std::size_t receivedLength() const;

private:
    bool connected() const;
    bool RecvFn_DbInfoAck(const MessageHeader& header);
    bool RecvFn_DbInfoNack(const MessageHeader& header);
    void RecvFn_DbUpdateAck(const MessageHeader& header);
    bool RecvFn_DbUpdateNack(const MessageHeader& header);
    void completeTransfer();
    void ended(ConfigExchangeEnd how, std::int32_t code = 0);
    bool sendUpdate(const std::vector<std::byte>& payload);

    RecorderSession& m_session;

    // Guards everything below; the receive thread writes the transfer, the GUI thread reads it
    // after the posted message and writes the update.
    mutable std::mutex m_mutex;
    bool m_receiving = false; // DB_INFO_REQ sent, the last piece not yet in
    bool m_overflow = false;  // the current transfer outgrew the reassembly buffer
    std::vector<std::byte> m_pieces;
    std::vector<std::byte> m_payload; // the last completed transfer
    std::optional<ConfigRecord> m_record;
    std::size_t m_receivedLength = 0;
    std::vector<std::byte> m_lastUpdate;
};

} // namespace kalder
