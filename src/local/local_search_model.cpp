#include "local/local_search_model.h"

#include "ui/search_rules.h"
#include "wire/recorder_time.h"

#include <algorithm>
#include <chrono>
#include <numeric>

namespace kalder {

LocalSearchData loadLocalSearchData(const std::filesystem::path& downloadFolder) {
    LocalSearchData data;
    data.sets = discoverBackupSets(downloadFolder, SetTagSource::Index);
    for (const BackupSetInfo& set : data.sets)
        data.segments.push_back(readSegmentEntries(set));
    return data;
}

DaySegment localDaySegment(const SegmentEntry& entry) {
    DaySegment segment;
    segment.channels = static_cast<std::uint16_t>(entry.channelMask & 0xFFFF);
    const std::uint8_t byte50 = entry.params[2];
    std::uint8_t kind = byte50;
    if (entry.changeMask != 0) {
        kind = byte50 != 0 ? byte50 : entry.lastChangedParam;
        segment.motionContinuous =
            byte50 != 0 ? entry.changeMask : static_cast<std::uint16_t>(~entry.changeMask);
    }
    segment.kinds = kind < 8 ? static_cast<std::uint8_t>(1u << kind) : 0;
    segment.start = entry.start;
    segment.end = entry.end;
    return segment;
}

LocalYear buildLocalYear(const LocalSearchData& data, int year) {
    using namespace std::chrono;
    LocalYear local;
    local.availability.year = year;
    for (const auto& segments : data.segments) {
        for (const SegmentEntry& entry : segments) {
            if (entry.end < entry.start)
                continue;
            const CivilTime first = decodeRecorderTime(entry.start);
            const CivilTime last = decodeRecorderTime(entry.end);
            if (last.year < year || first.year > year)
                continue;
            const DaySegment segment = localDaySegment(entry);
            const std::uint32_t kindBit = 1u << (entry.params[2] % 32);
            // Only the days inside the year are walked, however long a (damaged) segment is.
            sys_days day =
                std::max(sys_days(std::chrono::year{first.year} / first.month / first.day),
                         sys_days(std::chrono::year{year} / January / 1));
            const sys_days end =
                std::min(sys_days(std::chrono::year{last.year} / last.month / last.day),
                         sys_days(std::chrono::year{year} / December / 31));
            for (; day <= end; day += days{1}) {
                const year_month_day ymd{day};
                if (int(ymd.year()) != year)
                    continue;
                const std::pair key{int(unsigned(ymd.month())), int(unsigned(ymd.day()))};
                local.availability.setDay(key.first, key.second, true);
                local.kindMasks[key] |= kindBit;
                local.segments[key].push_back(segment);
            }
        }
    }
    return local;
}

std::vector<YearAvailability> localYears(const LocalSearchData& data) {
    std::vector<YearAvailability> years;
    for (int year = kFirstSearchYear; year <= kLastSearchYear; ++year) {
        LocalYear local = buildLocalYear(data, year);
        if (!local.kindMasks.empty())
            years.push_back(local.availability);
    }
    return years;
}

std::vector<EventEntry> localEvents(const LocalSearchData& data) {
    std::vector<std::size_t> order(data.sets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return data.sets[a].summary.earliestStart < data.sets[b].summary.earliestStart;
    });
    std::vector<EventEntry> events;
    for (std::size_t i : order) {
        if (i >= data.segments.size())
            continue;
        for (const SegmentEntry& entry : data.segments[i])
            events.push_back({entry.channelMask, entry.params[2], entry.start, entry.end});
    }
    return events;
}

std::vector<int> dayKindMarks(std::uint32_t kindMask) {
    std::vector<int> kinds;
    for (int k = 0; k < 6; ++k)
        if (kindMask & (1u << k))
            kinds.push_back(k);
    return kinds;
}

LocalPlayRequest dateTimePlayRequest(std::uint32_t start, const std::optional<CivilTime>& endRow,
                                     std::optional<std::uint32_t> encodedEnd) {
    constexpr CivilTime kNoEnd{2037, 12, 31, 23, 59, 59};
    // The no-end row is recognised by its entry as well, since its encoding depends on the
    // zone's daylight-saving rule.
    if (!endRow || *endRow == kNoEnd || !encodedEnd || *encodedEnd == kLocalNoEndTime ||
        *encodedEnd <= start)
        return {LocalPlayRequest::Kind::StartOnly, start, 0};
    return {LocalPlayRequest::Kind::StartAndEnd, start, *encodedEnd};
}

std::optional<std::array<bool, 3>> localTabsForRights(std::uintptr_t wParam) {
    switch (wParam) {
    case 0:
    case 2:
        return std::array<bool, 3>{true, true, true};
    case 1:
        return std::array<bool, 3>{false, false, false};
    default:
        return std::nullopt;
    }
}

} // namespace kalder
