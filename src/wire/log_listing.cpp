#include "wire/log_listing.h"

#include "wire/recorder_time.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace kalder {

namespace {

std::string text(const LogNaming& naming, int id) {
    return naming.text ? naming.text(id) : std::string();
}

template <typename... Args> std::string format(const char* pattern, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

// Description ids per kind, by sub-kind bit; 0 marks a description that is not a plain text.
constexpr std::array<int, 3> kPowerTexts{5110, 5111, 5112};
constexpr std::array<int, 5> kRecordTexts{5113, 5114, 5115, 5116, 5117};
constexpr std::array<int, 18> kOperationTexts{5118, 5119, 5120, 5121, 5121, 5585, 5890, 5090, 5891,
                                              5585, 5362, 5363, 5364, 0,    5680, 5209, 5681, 0};
constexpr std::array<int, 8> kClientTexts{5122, 5123, 5124, 5125, 5126, 5127, 5128, 5129};
constexpr std::array<int, 5> kEventTexts{5130, 5131, 5132, 5133, 5134};

template <std::size_t N>
std::string byBit(const std::array<int, N>& ids, int bit, const LogNaming& naming) {
    if (bit < 0 || static_cast<std::size_t>(bit) >= N || ids[bit] == 0)
        return {};
    return text(naming, ids[bit]);
}

// The record's own kind: the lowest of the five kind bits.
std::uint32_t kindOf(const LogRecord& record) {
    const std::uint32_t bits = record.kindBits & LogKind::kAll;
    return bits & (~bits + 1);
}

int subKindOf(const LogRecord& record) {
    return lowestBit(record.subKindBits);
}

std::string channelList(std::uint32_t mask, const char* pattern, unsigned first, unsigned count) {
    std::string out;
    for (unsigned n = 0; n < count; ++n)
        if (mask & (1u << n))
            out += format(pattern, first + n);
    return out;
}

std::string dateText(std::uint32_t time, int dateFormat, bool leadingBlank) {
    return (leadingBlank ? " " : "") +
           formatOperatorDateTime(time, static_cast<unsigned>(dateFormat));
}

LogDetailRow labelled(std::string label, std::string value) {
    return {{}, std::move(label), std::move(value), {}, {}};
}

std::string changed(const std::string& from, const std::string& to) {
    return format(" %s --> %s", from.c_str(), to.c_str());
}

// Bytes [first, first + count) of a 48-byte block; the callers stay inside it.
bool sameBytes(const std::array<std::uint8_t, kLogValueBlockSize>& a, std::size_t aFirst,
               const std::array<std::uint8_t, kLogValueBlockSize>& b, std::size_t bFirst,
               std::size_t count) {
    return std::equal(a.begin() + aFirst, a.begin() + aFirst + count, b.begin() + bFirst);
}

void setupChangeRows(const LogRecord& r, const LogNaming& naming, std::vector<LogDetailRow>& rows) {
    struct Group {
        int label;
        std::array<int, 8> items; // 0: bit never listed; -1: recording kind 0
    };
    static constexpr std::array<Group, 5> kGroups{{
        {5893, {5660, 5661, 5452, 5662, 5663, 5895, 0, 0}},
        {5026, {5680, -1, 5130, 5131, 5209, 5132, 5210, 5681}},
        {5894, {5700, 5880, 5861, 0, 5489, 5703, 5704, 5834}},
        {5857, {5896, 5897, 5713, 5013, 0, 0, 0, 0}},
        {5451, {5730, 5898, 5731, 5732, 5733, 0, 0, 0}},
    }};
    for (std::size_t g = 0; g < kGroups.size(); ++g) {
        for (int bit = 0; bit < 8; ++bit) {
            const int item = kGroups[g].items[bit];
            if (item == 0 || !(r.extra[g] & (1u << bit)))
                continue;
            rows.push_back(labelled(text(naming, kGroups[g].label),
                                    item < 0 ? recordingKindName(0, naming) : text(naming, item)));
        }
    }
}

void archiveRows(const LogRecord& r, const LogNaming& naming, std::vector<LogDetailRow>& rows) {
    rows.push_back(labelled(text(naming, 5899), archiveMediaName(r.extra[0])));
    rows.push_back(labelled(text(naming, 5492), archiveFormatName(r.extra[1])));
    rows.push_back(labelled(text(naming, 5420), dateText(r.archiveStart, naming.dateFormat, true)));
    rows.push_back(labelled(text(naming, 5421), dateText(r.archiveEnd, naming.dateFormat, true)));
    if (r.extra[2])
        rows.push_back(labelled(text(naming, 5152), channelList(r.extra[2], " %02d", 1, 8)));
    if (r.extra[3])
        rows.push_back(labelled(text(naming, 5152), channelList(r.extra[3], " %02d", 9, 8)));
}

std::string blockText(const std::array<std::uint8_t, kLogValueBlockSize>& block) {
    std::string out;
    for (std::size_t i = 0; i < kLogValueBlockWire && block[i]; ++i)
        out.push_back(static_cast<char>(block[i]));
    return out;
}

void streamingRows(const LogRecord& r, const LogNaming& naming, std::vector<LogDetailRow>& rows) {
    const auto& o = r.oldValue;
    const auto& n = r.newValue;
    if (o[0] != n[0]) {
        // The new value shows the other name, whatever its byte says.
        const bool wasOn = o[0] != 0;
        rows.push_back(labelled(text(naming, 5462), changed(text(naming, wasOn ? 5344 : 5340),
                                                            text(naming, wasOn ? 5340 : 5344))));
    }
    if (o[1] != n[1])
        rows.push_back(
            labelled(text(naming, 5465), changed(format("%d", o[1]), format("%d", n[1]))));
    if (o[2] != n[2]) {
        auto quality = [&](unsigned v) {
            return text(naming, v == 0 ? 5204 : v == 1 ? 5205 : 5206);
        };
        rows.push_back(labelled(text(naming, 5466), changed(quality(o[2]), quality(n[2]))));
    }
    if (o[3] != n[3]) {
        const std::string ch = text(naming, 5152);
        rows.push_back(
            labelled(text(naming, 5030), changed(format("%s%02d", ch.c_str(), o[3] + 1),
                                                 format("%s%02d", ch.c_str(), n[3] + 1))));
    }
}

void recordingModeRows(const LogRecord& r, const LogNaming& naming,
                       std::vector<LogDetailRow>& rows) {
    for (int i = 0; i < 5; ++i) {
        const std::string from = " " + recordingKindName(r.oldValue[i], naming);
        const std::string to = " " + recordingKindName(r.newValue[i], naming);
        rows.push_back(
            labelled(text(naming, 5467 + i), format("%s  -> %s", from.c_str(), to.c_str())));
    }
}

std::string presetEntry(const std::uint8_t* e, const LogNaming& naming) {
    const unsigned preset = e[2] + 256u * (e[3] & 0x0F);
    const std::string action = presetActionName(e[1], naming);
    if (e[0])
        return format(" Cam%02d - %s - %03d", e[0], action.c_str(), preset);
    return format(" %s - %s - %03d", onOffName(0, naming).c_str(), action.c_str(), preset);
}

void cameraRecordingRows(const LogRecord& r, const LogNaming& naming, LogDetails& details) {
    auto& rows = details.rows;
    const auto& o = r.oldValue;
    const auto& n = r.newValue;
    const unsigned profile = o[0];
    const std::string name =
        profile == 0x80 ? text(naming, 5833) : recordingKindName(profile, naming);
    rows.push_back(labelled(name, profile == 0x80 ? text(naming, 5937) : std::string()));
    if (profile == 0x80) {
        static constexpr const char* kSides[] = {"Left", "Right", "Top", "Bottom"};
        for (int i = 0; i < 4; ++i)
            rows.push_back(labelled({}, format(" %s : %d", kSides[i], o[1 + i])));
        rows.push_back({});
        rows.push_back(labelled({}, text(naming, 5936)));
        for (int i = 0; i < 4; ++i)
            rows.push_back(labelled({}, format(" %s : %d", kSides[i], n[i])));
        return;
    }
    if (profile > 5)
        return;
    // The old block starts with the profile, so its settings sit one byte later than the new.
    if (o[1] != n[0])
        rows.push_back(
            labelled(text(naming, 5682), changed(resolutionName(o[1]), resolutionName(n[0]))));
    if (o[2] != n[1])
        rows.push_back(
            labelled(text(naming, 5643), changed(format("%d", o[2]), format("%d", n[1]))));
    if (o[3] != n[2])
        rows.push_back(labelled(text(naming, 5030),
                                changed(onOffName(o[3], naming), onOffName(n[2], naming))));
    if (profile == 1) {
        if (!sameBytes(o, 4, n, 3, 16)) {
            rows.push_back({{}, " Preset on Alarm", text(naming, 5937), {}, {}});
            for (int e = 0; e < 4; ++e)
                rows.push_back(labelled({}, presetEntry(&o[4 + 4 * e], naming)));
            rows.push_back(labelled({}, text(naming, 5936)));
            for (int e = 0; e < 4; ++e)
                rows.push_back(labelled({}, presetEntry(&n[3 + 4 * e], naming)));
        }
    } else if (profile == 2 || profile == 4) {
        if (o[4] != n[3])
            rows.push_back(labelled(text(naming, 5684),
                                    changed(qualityName(o[4], naming), qualityName(n[3], naming))));
        if (profile == 2)
            details.areaButton = !sameBytes(o, 5, n, 4, 13);
    } else if (profile == 5) {
        if (o[4] != n[3])
            rows.push_back(
                labelled(text(naming, 5342), changed(format("%d", o[4]), format("%d", n[3]))));
        if (o[5] != n[4])
            rows.push_back(labelled(text(naming, 5687),
                                    changed(onOffName(o[5], naming), onOffName(n[4], naming))));
    }
}

} // namespace

std::string formatLogTime(std::uint32_t time, int dateFormat) {
    return dateText(time, dateFormat, false);
}

std::string logDescription(const LogRecord& record, const LogNaming& naming) {
    const int bit = subKindOf(record);
    switch (kindOf(record)) {
    case LogKind::Power:
        return byBit(kPowerTexts, bit, naming);
    case LogKind::Record:
        return byBit(kRecordTexts, bit, naming);
    case LogKind::Operation:
        if (bit == LogOperation::CameraTitle)
            return format(" Cam%02d Name", static_cast<int>(record.channelValue));
        if (bit == LogOperation::CameraRecording)
            return format(" Cam%02d Rec", static_cast<int>(record.channelValue));
        return byBit(kOperationTexts, bit, naming);
    case LogKind::Client:
        return byBit(kClientTexts, bit, naming);
    case LogKind::Event:
        return byBit(kEventTexts, bit, naming);
    default:
        return {};
    }
}

std::string logDetails(const LogRecord& record) {
    const int bit = subKindOf(record);
    switch (kindOf(record)) {
    case LogKind::Power:
        return bit == 1 ? record.text : std::string();
    case LogKind::Record:
    case LogKind::Client:
        return record.text;
    case LogKind::Operation:
        return bit == 2 || bit == 8 ? std::string() : record.text;
    case LogKind::Event:
        return channelList(record.channelValue, "%02d ", 1, 16);
    default:
        return {};
    }
}

LogRow logRow(const LogRecord& record, const LogNaming& naming) {
    return {format("%05d", static_cast<int>(record.sequence)),
            formatLogTime(record.time, naming.dateFormat), logDescription(record, naming),
            record.source, logDetails(record)};
}

bool logListed(const LogRecord& record, LogList list, const LogViewer& viewer) {
    const std::uint32_t kind = kindOf(record);
    if (kind == 0)
        return false;
    const int bit = subKindOf(record);
    switch (list) {
    case LogList::All:
        if (viewer.featureBit0) {
            if (viewer.userIndex == 0)
                return !(kind == LogKind::Operation && bit == LogOperation::Archive);
            if (kind == LogKind::Record)
                return false;
            if (kind == LogKind::Operation && (bit == 2 || bit == 8 || bit == 9 || bit > 12))
                return false;
        }
        return true;
    case LogList::Power:
        return kind == LogKind::Power;
    case LogList::Record:
        return kind == LogKind::Record;
    case LogList::Operation:
        return kind == LogKind::Operation;
    case LogList::Client:
        return kind == LogKind::Client;
    case LogList::Event:
        return kind == LogKind::Event;
    case LogList::Archive:
        return viewer.featureBit0 && viewer.userIndex == 0 && kind == LogKind::Operation &&
               (record.subKindBits & (1u << LogOperation::Archive));
    }
    return false;
}

std::vector<std::size_t> logListIndexes(const std::vector<LogRecord>& records, LogList list,
                                        const LogViewer& viewer) {
    std::vector<std::size_t> out;
    for (std::size_t i = records.size(); i-- > 0;)
        if (logListed(records[i], list, viewer))
            out.push_back(i);
    return out;
}

std::optional<LogList> logListByName(const std::string& name) {
    static constexpr std::pair<std::string_view, LogList> kNames[] = {
        {"all", LogList::All},         {"power", LogList::Power},
        {"record", LogList::Record},   {"operation", LogList::Operation},
        {"client", LogList::Client},   {"event", LogList::Event},
        {"archive", LogList::Archive},
    };
    for (const auto& [n, list] : kNames)
        if (n == name)
            return list;
    return std::nullopt;
}

LogSelection logSelection(const LogRecord& record, LogList list, bool localPlaybackRunning) {
    LogSelection s;
    const std::uint32_t kind = kindOf(record);
    const int bit = subKindOf(record);
    if (kind == LogKind::Operation) {
        if (list == LogList::All || list == LogList::Operation)
            s.details = bit == 4 || bit == 9 || (bit >= 13 && bit <= 17);
        else if (list == LogList::Archive)
            s.details = bit == 9;
    } else if (kind == LogKind::Event && (list == LogList::All || list == LogList::Event)) {
        s.play = bit >= 0 && bit <= 2 && !localPlaybackRunning;
    }
    return s;
}

std::string recordingKindName(unsigned value, const LogNaming& naming) {
    static constexpr std::array<int, 7> kIds{5208, 5130, 5131, 5209, 5132, 5210, 5243};
    if (value >= kIds.size())
        return {};
    if (value == 0 && naming.subProduct34)
        return text(naming, 6050);
    return text(naming, kIds[value]);
}

std::string onOffName(unsigned value, const LogNaming& naming) {
    return value == 0 ? text(naming, 5340) : value == 1 ? text(naming, 5344) : std::string();
}

std::string resolutionName(unsigned value) {
    static constexpr const char* kNames[] = {"4CIF", "2CIF", "CIF"};
    return value < 3 ? kNames[value] : "";
}

std::string presetActionName(unsigned value, const LogNaming& naming) {
    return value == 0 ? text(naming, 5760) : value == 1 ? text(naming, 5767) : std::string();
}

std::string qualityName(unsigned value, const LogNaming& naming) {
    static constexpr std::array<int, 3> kIds{5204, 5934, 5206};
    return value < kIds.size() ? text(naming, kIds[value]) : std::string();
}

std::string archiveMediaName(unsigned value) {
    static constexpr const char* kNames[] = {" CD-R",   " CD-RW",  " DVD-R",     " DVD+R",
                                             " DVD-RW", " DVD+RW", " DVD+RW DL", " Removable Disk"};
    if (value < 8)
        return kNames[value];
    return value == 9 ? " PC" : " Unknown";
}

std::string archiveFormatName(unsigned value) {
    return value == 1 ? " AVI" : " Exclusive";
}

LogDetails logDetailRows(const LogRecord& record, const LogNaming& naming) {
    LogDetails details;
    const LogRow row = logRow(record, naming);
    details.rows.push_back({row.sequence, row.time, row.description, row.source, row.details});
    details.rows.push_back({});
    if (kindOf(record) != LogKind::Operation)
        return details;
    switch (subKindOf(record)) {
    case LogOperation::SetupChange:
        setupChangeRows(record, naming, details.rows);
        break;
    case LogOperation::Archive:
        archiveRows(record, naming, details.rows);
        break;
    case LogOperation::CameraTitle:
        details.rows.push_back(labelled(text(naming, 5937), " " + blockText(record.oldValue)));
        details.rows.push_back(labelled(text(naming, 5936), " " + blockText(record.newValue)));
        break;
    case LogOperation::Streaming:
        streamingRows(record, naming, details.rows);
        break;
    case LogOperation::RecordingModes:
        recordingModeRows(record, naming, details.rows);
        break;
    case LogOperation::CameraRecording:
        cameraRecordingRows(record, naming, details);
        break;
    default:
        break;
    }
    return details;
}

std::vector<int> scheduleCells(const std::array<std::uint8_t, kLogValueBlockSize>& block,
                               bool twoBits) {
    std::vector<int> cells(168, 0);
    for (std::size_t k = 0; k < cells.size(); ++k) {
        int value;
        if (twoBits) {
            const std::size_t byte = k / 4;
            // The record carries 32 bytes; the cells beyond them are not sent.
            value = byte < kLogValueBlockWire ? (block[byte] >> (2 * (k % 4))) & 0x3 : 0;
        } else {
            const std::size_t byte = k / 8;
            value = byte < kLogValueBlockWire ? (block[byte] >> (k % 8)) & 0x1 : 0;
        }
        cells[k] = value;
    }
    return cells;
}

std::vector<bool> areaCells(const std::array<std::uint8_t, kLogValueBlockSize>& block,
                            std::size_t offset) {
    std::vector<bool> cells(80, false);
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const std::size_t byte = offset + k / 8;
        cells[k] = byte < block.size() && ((block[byte] >> (k % 8)) & 1);
    }
    return cells;
}

} // namespace kalder
