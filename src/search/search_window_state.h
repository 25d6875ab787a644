#pragma once

#include "search/backup_period.h"
#include "wire/search_records.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kalder {

// The remote search window's four mode tabs.
enum class SearchTab { Search = 0, Backup = 1, Log = 2, Info = 3 };

// What Backup makes of the period: the recorder's backup set as it is, or an MP4 or MKV export of
// it (the set is downloaded first, exported in the same action, then kept or deleted as the
// operator chose).
enum class BackupFormat { Set = 0, Mp4 = 1, Mkv = 2 };

// The one panel shown in the window's panel place (None: the hint saying what to press).
enum class SearchPanel {
    None,
    DateTime,
    ChannelSelect,
    Calendar,
    DayTimeline,
    EventList,
    BackupDateTime,
    BackupCalendar,
    BackupTimeline,
    BackupEventList,
};

// What the remote search window shows, held in one place: the window and both of its flows
// (search, backup) change it and then let the window set its widgets from it.
struct SearchWindowState {
    // A query to the recorder waits for its answer: no other query, no other tab.
    bool requestPending = false;
    // Local playback runs: every Play of the window is disabled.
    bool localPlaybackRunning = false;
    bool closingForPlay = false;
    bool closed = false;
    // The chosen tab (none yet while the window opens: nothing is checked, no hint).
    bool tabChosen = false;
    SearchTab tab = SearchTab::Search;
    std::array<bool, 4> tabEnabled{true, true, true, true};
    SearchPanel panel = SearchPanel::None;
    // The channels searched, backed up and later played (bit n: channel n).
    std::uint16_t searchChannelMask = 0;
    // The window's own copies of the last records.
    std::vector<YearAvailability> years;
    std::vector<DaySegment> segments;
    std::vector<EventEntry> events;
    // The calendar's chosen day.
    int dayYear = 0, dayMonth = 0, dayDay = 0;
    // The period chosen on the backup calendar and timeline, and whether the window's year
    // records may serve the end's calendar without asking again.
    BackupPeriod backupPeriod;
    bool backupYearsCached = false;
    BackupFormat backupFormat = BackupFormat::Set;
};

} // namespace kalder
