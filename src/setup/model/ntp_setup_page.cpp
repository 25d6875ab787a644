#include "setup/model/ntp_setup_page.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kalder {

namespace {

constexpr unsigned kZoneNineThirty = 24;
// Hours ahead of UTC of zones 1 .. 23.
constexpr int kZoneHours[23] = {0,  1,   2,   3,  4,  5,  6,  7,  8,  9,  10, 11,
                                12, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2};

// Seconds from 1970 of `moment` in `year`; week form days from the weekday rule.
std::int64_t momentIn(int year, unsigned month, unsigned day1, unsigned hour, unsigned minute) {
    month %= 12;
    const unsigned day = std::min(std::max(day1, 1u), lastDayOfMonth(year, month));
    return encodeCivilTime({year, int(month) + 1, int(day), int(hour), int(minute), 0});
}

} // namespace

NtpState readNtp(const ConfigRecord& record) {
    NtpState s;
    s.zone = record.value(configField("time_zone"));
    s.enabled = record.value(configField("ntp_enable")) != 0;
    s.serverChoice = record.value(configField("ntp_server_choice"));
    s.defaultServer = record.text(configField("ntp_server_default"));
    s.server = record.text(configField("ntp_server"));
    for (std::size_t i = 0; i < 4; ++i)
        s.address[i] = static_cast<std::uint8_t>(record.value(configField("ntp_address"), i));
    return s;
}

int zoneOffsetSeconds(unsigned zone) {
    if (zone == kZoneNineThirty)
        return 9 * 3600 + 30 * 60;
    if (zone >= 1 && zone <= 23)
        return kZoneHours[zone - 1] * 3600;
    return 0;
}

std::string zoneText(unsigned zone) {
    if (zone == 0 || zone > kZoneNineThirty)
        return zone == 0 ? "Off" : "-";
    const int offset = zoneOffsetSeconds(zone);
    char text[16];
    std::snprintf(text, sizeof text, "GMT%c%02d:%02d", offset < 0 ? '-' : '+',
                  std::abs(offset) / 3600, std::abs(offset) % 3600 / 60);
    return text;
}

std::vector<unsigned> zoneListOrder(RecordVersion version) {
    std::vector<unsigned> order;
    if (!version.above(4, 1)) {
        for (unsigned z = 0; z < 24; ++z)
            order.push_back(z);
        return order;
    }
    for (unsigned entry = 0; entry < 25; ++entry)
        order.push_back(entry <= 10 ? entry : entry == 11 ? kZoneNineThirty : entry - 1);
    return order;
}

std::vector<std::string> zoneEntries(RecordVersion version) {
    std::vector<std::string> entries;
    for (unsigned zone : zoneListOrder(version))
        entries.push_back(zoneText(zone));
    return entries;
}

bool inDaylightSaving(std::int64_t wall, const DstSettings& dst,
                      const std::vector<DstRule>& rules) {
    const int year = decodeRecorderTime(static_cast<std::uint32_t>(
                                            std::clamp<std::int64_t>(wall, 0, 0xFFFFFFFFll)))
                         .year;
    std::int64_t start = 0, end = 0;
    unsigned startMonth = 0, endMonth = 0;
    if (dst.mode == 1) {
        startMonth = dst.start.month % 12;
        endMonth = dst.end.month % 12;
        start = momentIn(year, startMonth, dst.start.day + 1, dst.start.hour, dst.start.minute);
        end = momentIn(year, endMonth, dst.end.day + 1, dst.end.hour, dst.end.minute);
    } else if (dst.mode >= 2 && dst.mode - 2 < rules.size()) {
        const DstRule& r = rules[dst.mode - 2];
        startMonth = r.startMonth % 12;
        endMonth = r.endMonth % 12;
        start = momentIn(year, startMonth,
                         weekdayInMonth(year, startMonth, r.startWeek, r.startWeekday % 7),
                         r.startHour, r.startMinute);
        end = momentIn(year, endMonth, weekdayInMonth(year, endMonth, r.endWeek, r.endWeekday % 7),
                       r.endHour, r.endMinute);
    } else {
        return false;
    }
    // A rule that ends in an earlier month than it starts spans the turn of the year.
    if (endMonth < startMonth)
        return wall < end || wall >= start;
    return start <= wall && wall < end;
}

std::optional<std::int64_t> previewTime(std::uint32_t unixTime, unsigned zone,
                                        const DstSettings& dst, const std::vector<DstRule>& rules) {
    if (zone == 0 || zone > kZoneNineThirty)
        return std::nullopt;
    std::int64_t wall = std::int64_t(unixTime) + zoneOffsetSeconds(zone);
    if (inDaylightSaving(wall, dst, rules))
        wall += dst.shiftSeconds();
    return wall;
}

std::string formatPreview(std::int64_t wall, unsigned dateFormat) {
    return formatOperatorDateTime(
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(wall, 0, 0xFFFFFFFFll)), dateFormat,
        "  ");
}

void chooseZone(ConfigRecord& record, unsigned zone) {
    if (zone <= kZoneNineThirty)
        record.setValue(configField("time_zone"), 0, zone);
}

void setNtpEnabled(ConfigRecord& record, bool enabled) {
    record.setValue(configField("ntp_enable"), 0, enabled ? 1 : 0);
}

void setNtpServerChoice(ConfigRecord& record, unsigned choice) {
    if (choice <= 2)
        record.setValue(configField("ntp_server_choice"), 0, choice);
}

void setNtpServerName(ConfigRecord& record, const std::string& name) {
    record.setText(configField("ntp_server"), 0, name.substr(0, kNtpServerNameMax),
                   TextFill::ClearField);
}

void setNtpAddress(ConfigRecord& record, const std::array<std::uint8_t, 4>& address) {
    for (std::size_t i = 0; i < 4; ++i)
        record.setValue(configField("ntp_address"), i, address[i]);
}

} // namespace kalder
