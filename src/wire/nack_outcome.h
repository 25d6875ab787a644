#pragma once

#include "wire/notification.h"

#include <cstdint>
#include <optional>

namespace kalder {

// What a negative reply (or the recorder's farewell) with a given code leads to.
struct NackOutcome {
    std::optional<Notification> notification;
    // A window message to the requesting window instead of, or besides, the notification
    // (21044, 21045, 21046); 0 for none.
    std::uint16_t windowMessage = 0;
    // A_LISTEN_NACK: the main window is also told that listening stopped.
    bool listeningStopped = false;
    // TRANS_ON_NACK 87: the two detail words are kept for the notification's size pair.
    bool keepsDetail = false;
    // Firmware replies: the code goes unchanged to the upgrade window.
    bool toUpgradeWindow = false;
};

// The reaction to reply code `code` arriving in message `messageId` (a received id). Codes the
// message does not list, including -99 (read failed) and -100 (empty), give an empty outcome.
NackOutcome nackOutcome(std::uint16_t messageId, std::int32_t code);

} // namespace kalder
