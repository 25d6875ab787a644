#pragma once

#include "wire/log_records.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

// How the recorder's log is shown: the five list columns, the lists per kind, and the detail
// rows of setup-change, archive, camera and schedule entries. Plain C++: texts of the resource
// library arrive through a lookup, so that the windows, the printout and kalder-cli show the same.
using LogTextLookup = std::function<std::string(int id)>;

// The operator's date order: 0 year first, 1 month first, 2 day first.
std::string formatLogTime(std::uint32_t time, int dateFormat);

// What decides the names of a few values.
struct LogNaming {
    LogTextLookup text;
    int dateFormat = 0;
    // The greeting's sub_product_num_major is 3 or 4: recording kind 0 has another name and a
    // schedule cell holds two bits.
    bool subProduct34 = false;
};

struct LogRow {
    std::string sequence;    // "%05d"
    std::string time;        // by the date order
    std::string description; // by the lowest kind bit, then the lowest sub-kind bit
    std::string source;
    std::string details;
};

// The description column; empty for a record without any kind bit.
std::string logDescription(const LogRecord& record, const LogNaming& naming);
// The details column: the record's text for power sub-kind 1, record, operation (not sub-kinds 2
// and 8) and client entries; the channels "%02d " for events.
std::string logDetails(const LogRecord& record);
LogRow logRow(const LogRecord& record, const LogNaming& naming);

enum class LogList { All, Power, Record, Operation, Client, Event, Archive };

// Who is looking: the greeting's flag bit 0 and the logged-in account's index.
struct LogViewer {
    bool featureBit0 = false;
    std::size_t userIndex = 0;
};

// Whether `record` belongs in `list` for `viewer`.
bool logListed(const LogRecord& record, LogList list, const LogViewer& viewer);
// Indexes into `records` of the rows of `list`, newest (last received) first.
std::vector<std::size_t> logListIndexes(const std::vector<LogRecord>& records, LogList list,
                                        const LogViewer& viewer);

// The list named on the command line or in a menu: all, power, record, operation, client,
// event, archive.
std::optional<LogList> logListByName(const std::string& name);

// What a selected row allows in its list.
struct LogSelection {
    bool details = false; // the Details button
    bool play = false;    // the Play button (All and Event lists)
};
LogSelection logSelection(const LogRecord& record, LogList list, bool localPlaybackRunning);

// Value names by value; empty for a value outside the list.
std::string recordingKindName(unsigned value, const LogNaming& naming);
std::string onOffName(unsigned value, const LogNaming& naming);
std::string resolutionName(unsigned value);
std::string presetActionName(unsigned value, const LogNaming& naming);
std::string qualityName(unsigned value, const LogNaming& naming);
std::string archiveMediaName(unsigned value);
std::string archiveFormatName(unsigned value);

// One row of the detail list (five columns).
struct LogDetailRow {
    std::string c1, c2, c3, c4, c5;
    bool operator==(const LogDetailRow&) const = default;
};

struct LogDetails {
    std::vector<LogDetailRow> rows;
    bool areaButton = false; // profile 2 of a camera-recording entry with a changed area
};

// The detail list of a record: the summary row, an empty row, then the rows of its sub-kind.
LogDetails logDetailRows(const LogRecord& record, const LogNaming& naming);

// The schedule of a schedule-change entry: 168 cells (cell k: hour k / 7, day k % 7), values
// clipped to 3 in the two-bit form and to 1 otherwise.
std::vector<int> scheduleCells(const std::array<std::uint8_t, kLogValueBlockSize>& block,
                               bool twoBits);
// The motion area of a camera-recording entry: 80 cells (row k / 10, column k % 10) from ten
// bytes starting at `offset` of `block`.
std::vector<bool> areaCells(const std::array<std::uint8_t, kLogValueBlockSize>& block,
                            std::size_t offset);

} // namespace kalder
