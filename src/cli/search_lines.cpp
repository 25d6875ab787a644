#include "cli/search_lines.h"

#include "wire/recorder_time.h"

#include <cstdio>
#include <vector>

namespace kalder::cli {

namespace {

std::vector<std::string> recordedDays(const YearAvailability& year) {
    std::vector<std::string> days;
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= 31; ++d)
            if (year.dayRecorded(m, d)) {
                char text[16];
                std::snprintf(text, sizeof text, "%04d-%02d-%02d", year.year, m, d);
                days.push_back(text);
            }
    return days;
}

// Set bits 0..count-1 of `mask`, 1-based, as a JSON array ("[1,3]") or a readable list.
std::string bitList(std::uint32_t mask, unsigned count, bool json, unsigned base = 1) {
    std::string out = json ? "[" : "";
    bool first = true;
    for (unsigned n = 0; n < count; ++n) {
        if (!(mask & (1u << n)))
            continue;
        if (!first)
            out += ",";
        out += std::to_string(n + base);
        first = false;
    }
    if (json)
        return out + "]";
    return first ? "-" : out;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string typeName(std::uint8_t type) {
    switch (type) {
    case EventType::Alarm:
        return "alarm";
    case EventType::Motion:
        return "motion";
    case EventType::Audio:
        return "audio";
    default:
        return {};
    }
}

} // namespace

std::string yearJson(const YearAvailability& year) {
    std::string days;
    for (const std::string& day : recordedDays(year))
        days += (days.empty() ? "" : ",") + quoted(day);
    return "{\"event\":\"year\",\"year\":" + std::to_string(year.year) + ",\"days\":[" + days +
           "]}";
}

std::string yearText(const YearAvailability& year) {
    std::string text = "year " + std::to_string(year.year) + ":";
    for (const std::string& day : recordedDays(year))
        text += " " + day;
    return text;
}

std::string segmentJson(const DaySegment& s) {
    return "{\"event\":\"segment\",\"channels\":" + bitList(s.channels, 16, true) +
           ",\"motion_continuous\":" + bitList(s.motionContinuous, 16, true) +
           ",\"kinds\":" + bitList(s.kinds, 6, true, 0) +
           ",\"start\":" + quoted(formatRecorderTime(s.start)) +
           ",\"end\":" + quoted(formatRecorderTime(s.end)) + "}";
}

std::string segmentText(const DaySegment& s) {
    return "segment " + formatRecorderTime(s.start) + " - " + formatRecorderTime(s.end) +
           " channels " + bitList(s.channels, 16, false) + " kinds " +
           bitList(s.kinds, 6, false, 0) + " motion-continuous " +
           bitList(s.motionContinuous, 16, false);
}

std::string eventJson(const EventEntry& e) {
    const std::string name = typeName(e.type);
    return "{\"event\":\"recorder_event\",\"type\":" +
           (name.empty() ? std::to_string(e.type) : quoted(name)) +
           ",\"channels\":" + bitList(e.channels, 16, true) +
           ",\"start\":" + quoted(formatRecorderTime(e.start)) +
           ",\"end\":" + quoted(formatRecorderTime(e.end)) + "}";
}

std::string eventText(const EventEntry& e) {
    const std::string name = typeName(e.type);
    return "event " + (name.empty() ? "type " + std::to_string(e.type) : name) + " " +
           formatRecorderTime(e.start) + " - " + formatRecorderTime(e.end) + " channels " +
           bitList(e.channels, 16, false);
}

} // namespace kalder::cli
