#include "logs/local_log_rows.h"

#include "resources/resource_library.h"
#include "wire/log_listing.h"

namespace kalder {

namespace {

struct KindTexts {
    std::uint32_t kind;
    std::vector<std::pair<std::uint32_t, int>> events; // event bit, text id
};

const std::vector<KindTexts>& kindTexts() {
    static const std::vector<KindTexts> kTexts = {
        {kLogKindProgram, {{kLogEventProgramStart, 5360}, {kLogEventProgramExit, 5361}}},
        {kLogKindLogon,
         {{kLogEventLogon, 5362}, {kLogEventLogoff, 5363}, {kLogEventLogonFailed, 5364}}},
        {kLogKindLocalPlay, {{kLogEventLocalPlayStart, 5365}, {kLogEventLocalPlayEnd, 5366}}},
        {kLogKindSetupImage, {{kLogEventSetupSaved, 5004}, {kLogEventSnapshotSaved, 5368}}},
    };
    return kTexts;
}

// The record's kind: the lowest of the four kind bits, or nothing.
const KindTexts* kindOf(const LocalLogRecord& record) {
    for (const KindTexts& k : kindTexts())
        if (record.kind & k.kind)
            return &k;
    return nullptr;
}

PrintRow row(const LocalLogRecord& record, int dateFormat, int first) {
    // The clock is a signed count here: a time before 1970 shows as 1970-01-01 00:00:00.
    const std::int32_t signedTime = static_cast<std::int32_t>(record.time);
    const std::uint32_t time = signedTime < 0 ? 0u : static_cast<std::uint32_t>(signedTime);
    PrintRow r;
    r[0] = QString::asprintf("%04d", first);
    r[1] = QString::fromStdString(formatLogTime(time, dateFormat));
    const KindTexts* kind = kindOf(record);
    if (kind == nullptr)
        return r;
    r[2] = localLogDescription(record);
    if (kind->kind == kLogKindLogon) {
        r[3] = QString::fromStdString(record.userId);
        r[4] = QString::fromStdString(record.address);
    }
    return r;
}

} // namespace

QString localLogDescription(const LocalLogRecord& record) {
    const KindTexts* kind = kindOf(record);
    if (kind == nullptr)
        return {};
    // The lowest of the kind's own event bits that is set.
    int best = -1;
    std::uint32_t bestBit = 0;
    for (const auto& [bit, id] : kind->events)
        if ((record.event & bit) && (bestBit == 0 || bit < bestBit)) {
            bestBit = bit;
            best = id;
        }
    return best < 0 ? QString() : resourceText(best);
}

std::vector<PrintRow> localLogScreenRows(const std::vector<LocalLogRecord>& table, int dateFormat) {
    std::vector<PrintRow> rows;
    rows.reserve(table.size());
    for (std::size_t i = table.size(); i-- > 0;)
        rows.push_back(row(table[i], dateFormat, static_cast<int>(i + 1)));
    return rows;
}

std::vector<PrintRow> localLogPrintRows(const std::vector<LocalLogRecord>& table, int dateFormat) {
    std::vector<PrintRow> rows;
    rows.reserve(table.size());
    for (std::size_t i = table.size(); i-- > 0;)
        rows.push_back(row(table[i], dateFormat, static_cast<int>(table[i].slot)));
    return rows;
}

PrintLayout localLogPrintLayout() {
    PrintLayout l;
    l.documentName = QStringLiteral("Local Log");
    l.title = resourceText(5527);
    l.titleBox = {3700, -900, 7700, -1400};
    l.columnEdges = {400, 1100, 3700, 6800, 8100, 10800};
    return l;
}

} // namespace kalder
