#include "wire/notification_table.h"

namespace kalder {

namespace {

using B = NotificationButtons;
using A = NotificationAction;

constexpr NotificationEntry row(std::uint16_t category, std::uint16_t detail,
                                std::array<std::uint16_t, 3> lines, B buttons = B::Ok,
                                A onOk = A::None) {
    NotificationEntry e;
    e.notification = {category, detail};
    e.lines = lines;
    e.buttons = buttons;
    e.onOk = onOk;
    return e;
}

constexpr NotificationEntry withSearchResume(NotificationEntry e) {
    e.searchResumeVariant = true;
    return e;
}

constexpr NotificationEntry withSizePair(NotificationEntry e) {
    e.sizePairVariant = true;
    return e;
}

constexpr NotificationEntry kTable[] = {
    row(0, 0, {5080}),
    row(1, 0, {5087}),
    row(1, 1, {5053}),
    row(2, 0, {5079}),
    // The recorder's farewell: the connection-closed line, then the reason.
    row(3, 0, {5079, 5084}),
    row(3, 1, {5079, 5082}),
    row(3, 2, {5079, 5066}),
    row(3, 3, {5079, 5071}),
    row(3, 4, {5079, 5057}),
    row(3, 5, {5079, 5060}),
    row(3, 6, {5079, 5062}),
    row(3, 7, {5079, 5073}),
    withSearchResume(row(4, 0, {5069}, B::Ok, A::ReopenSearch)),
    row(5, 0, {5083}),
    row(5, 1, {5070}),
    row(5, 2, {5065}),
    row(6, 0, {5083}),
    row(6, 1, {5081}),
    row(6, 2, {5070}),
    row(6, 3, {5054}),
    row(6, 4, {5055}),
    withSizePair(row(6, 5, {5052})),
    row(6, 6, {5092}),
    row(6, 7, {5074}),
    row(7, 0, {5075, 5084, 5078}, B::OkCancel, A::ResendConfiguration),
    row(7, 1, {5075, 5051, 5078}, B::OkCancel, A::ResendConfiguration),
    row(7, 2, {5075, 5056, 5078}, B::OkCancel, A::ResendConfiguration),
    row(7, 3, {5075, 5074, 5078}, B::OkCancel, A::ResendConfiguration),
    row(8, 5, {5064, 5077}, B::OkCancel, A::RestartAfterUpgrade),
    row(9, 0, {5050}),
    row(10, 0, {5076}),
    row(11, 0, {5067}, B::OkCancel, A::ShowUpgradeWindow),
    row(11, 1, {5068}),
    row(12, 0, {5085}),
    row(12, 1, {5086}),
    withSizePair(row(13, 0, {5061})),
    row(15, 0, {5093}),
    row(16, 0, {5821, 5822, 5823}, B::OkCancel, A::ResetConfiguration),
    row(17, 0, {5069}),
};

} // namespace

std::span<const NotificationEntry> notificationTable() {
    return kTable;
}

const NotificationEntry* findNotificationEntry(Notification notification) {
    for (const NotificationEntry& e : kTable)
        if (e.notification == notification)
            return &e;
    return nullptr;
}

std::span<const std::uint16_t> notificationLines(const NotificationEntry& entry) {
    std::size_t n = 0;
    while (n < entry.lines.size() && entry.lines[n] != 0)
        ++n;
    return std::span<const std::uint16_t>(entry.lines.data(), n);
}

} // namespace kalder
