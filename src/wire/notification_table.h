#pragma once

#include "wire/notification.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder {

enum class NotificationButtons : std::uint8_t { Ok, Cancel, OkCancel };

// What the main window does when a notification box ends with OK.
enum class NotificationAction : std::uint8_t {
    None,
    ReopenSearch,        // reopen the search window as the remote-search button does
    ResendConfiguration, // still logged in: send the configuration update again
    RestartAfterUpgrade, // logged in: REBOOT_REQ with the restart right, else (15,0)
    ShowUpgradeWindow,   // still logged in, no configuration request pending
    ResetConfiguration,  // send DB_INIT_REQ
};

// One row of the notification table: the box's lines as resource text ids, its buttons and the
// action of OK. Rows whose lines depend on session state say so in their flags.
struct NotificationEntry {
    Notification notification;
    std::array<std::uint16_t, 3> lines{}; // text ids, 0 = no line
    NotificationButtons buttons = NotificationButtons::Ok;
    NotificationAction onOk = NotificationAction::None;
    // (4,0): while the search resume context is active the box shows `resumeLines` with OK and
    // Cancel, and Cancel clears the context.
    bool searchResumeVariant = false;
    // (6,5) and (13,0): with both values of the session's size pair above 0 the box shows three
    // lines (the first line, then the two sizes with texts 5840 and 5841).
    bool sizePairVariant = false;
};

inline constexpr std::uint16_t kTextOk = 5541;
inline constexpr std::uint16_t kTextCancel = 5542;
inline constexpr std::uint16_t kTextSizeFirst = 5840;
inline constexpr std::uint16_t kTextSizeSecond = 5841;
inline constexpr std::array<std::uint16_t, 3> kSearchResumeLines = {5069, 5078, 0};

// Every (category, detail) the main window shows; nothing for a pair not listed.
std::span<const NotificationEntry> notificationTable();
const NotificationEntry* findNotificationEntry(Notification notification);

// The lines of a box in their plain form (no search context, no size pair).
std::span<const std::uint16_t> notificationLines(const NotificationEntry& entry);

} // namespace kalder
