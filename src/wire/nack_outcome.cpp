#include "wire/nack_outcome.h"

#include "wire/message_catalogue.h"

#include <array>
#include <initializer_list>

namespace kalder {

namespace {

struct CodeRule {
    std::int32_t code;
    std::uint16_t category;
    std::uint16_t detail;
};

struct MessageRules {
    std::initializer_list<std::uint16_t> messages;
    std::initializer_list<CodeRule> rules;
};

using namespace MessageId;

// The recorder's reply codes and the notification each one gives, per message.
const MessageRules kRules[] = {
    {{BYE48},
     {{1, 3, 0},
      {2, 3, 1},
      {3, 3, 2},
      {33, 3, 3},
      {34, 3, 4},
      {35, 3, 5},
      {36, 3, 6},
      {-2, 3, 7},
      {37, 15, 0}}},
    {{LIVE_NACK, LIVE_STOP_NACK}, {{1, 5, 0}}},
    {{REC_ON_NACK, REC_OFF_NACK}, {{1, 5, 0}, {65, 5, 1}, {66, 5, 2}}},
    {{DB_INIT_NACK}, {{1, 6, 0}, {2, 6, 1}, {97, 6, 7}, {98, 6, 6}}},
    {{SEND_TEST_MAIL_NACK}, {{1, 6, 0}}},
    {{REBOOT_NACK, POWEROFF_NACK, PLAY_OFF_NACK, TRANS_OFF_NACK}, {{1, 6, 0}, {2, 6, 1}}},
    {{PLAY_INFO_MONTH_NACK, TRANS_INFO_MONTH_NACK},
     {{1, 6, 0}, {53, 6, 4}, {86, 6, 3}, {98, 6, 6}}},
    {{EVENT_INFO_NACK}, {{1, 6, 0}, {53, 6, 4}, {83, 4, 0}, {98, 6, 6}}},
    {{PLAY_INFO_DAY_NACK, PLAY_ON_NACK}, {{1, 6, 0}, {53, 6, 4}, {83, 4, 0}, {98, 6, 6}}},
    {{PLAY_ON_FAIL, TRANS_INFO_DAY_NACK, TRANS_ON_FAIL},
     {{1, 6, 0}, {53, 6, 4}, {83, 4, 0}, {86, 6, 3}, {98, 6, 6}}},
    {{TRANS_ON_NACK}, {{1, 6, 0}, {53, 6, 4}, {83, 4, 0}, {86, 6, 3}, {87, 6, 5}, {98, 6, 6}}},
    {{DB48_INFO_NACK}, {{1, 6, 0}, {2, 6, 1}, {83, 4, 0}, {86, 6, 3}}},
    {{DB_UPDATE_NACK}, {{1, 7, 0}, {81, 7, 1}, {51, 7, 2}, {97, 7, 3}}},
    {{LOG_INFO_NACK, SYSTEM_INFO_NACK, STATUS_INFO_NACK}, {{1, 6, 0}, {83, 4, 0}, {86, 6, 3}}},
    {{A_LISTEN_NACK}, {{1, 6, 0}, {2, 6, 1}, {53, 6, 4}, {54, 12, 0}, {55, 12, 1}, {98, 6, 6}}},
};

bool contains(std::initializer_list<std::uint16_t> ids, std::uint16_t id) {
    for (std::uint16_t i : ids)
        if (i == id)
            return true;
    return false;
}

} // namespace

NackOutcome nackOutcome(std::uint16_t messageId, std::int32_t code) {
    NackOutcome outcome;
    if (messageId == FW_UPDATE_NACK || messageId == FW_DATA_RX_FAIL ||
        messageId == FW_UPDATE_FAIL) {
        outcome.toUpgradeWindow = true;
        return outcome;
    }
    for (const MessageRules& group : kRules) {
        if (!contains(group.messages, messageId))
            continue;
        for (const CodeRule& rule : group.rules) {
            if (rule.code == code)
                outcome.notification = Notification{rule.category, rule.detail};
        }
    }
    // A month query that found nothing tells its window instead of showing a box.
    if (code == 83 && messageId == PLAY_INFO_MONTH_NACK)
        outcome.windowMessage = 21044;
    if (code == 83 && messageId == TRANS_INFO_MONTH_NACK)
        outcome.windowMessage = 21046;
    // The event list's window always learns that its query ended.
    if (messageId == EVENT_INFO_NACK)
        outcome.windowMessage = 21045;
    if (messageId == A_LISTEN_NACK && (code == 2 || code == 53 || code == 55 || code == 98))
        outcome.listeningStopped = true;
    if (messageId == TRANS_ON_NACK && code == 87)
        outcome.keepsDetail = true;
    return outcome;
}

} // namespace kalder
