#include "session/info_rows.h"

#include <chrono>
#include <cstdio>

namespace kalder {

namespace {

constexpr std::size_t kMaxCellChars = 127;

std::string cell(std::string text) {
    if (text.size() > kMaxCellChars)
        text.resize(kMaxCellChars);
    return text;
}

void addRow(std::vector<InfoRow>& rows, std::string label, std::string value,
            std::string name = {}) {
    rows.push_back({cell(std::move(label)), cell(std::move(value)), cell(std::move(name))});
}

} // namespace

std::string sizeText(std::uint32_t megabytes) {
    char text[32];
    if (megabytes < 1024) {
        std::snprintf(text, sizeof text, "%5u MByte", megabytes);
        return text;
    }
    const std::uint32_t gigabytes = megabytes >> 10;
    if (gigabytes > 1023)
        std::snprintf(text, sizeof text, "%6.2f TByte", static_cast<double>(gigabytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%5u GByte", gigabytes);
    return text;
}

std::vector<InfoRow> statusRows(const StatusInfoRecord& status, unsigned channelCount,
                                const InfoTextLookup& text) {
    std::vector<InfoRow> rows;
    addRow(rows, text(InfoText::TotalSpace), sizeText(status.disk_size_mb));
    // The difference is taken modulo 2^32, as the recorder's unsigned quantities are.
    addRow(rows, text(InfoText::UsedSpace),
           sizeText(static_cast<std::uint32_t>(status.disk_size_mb - status.disk_part_mb)));
    addRow(rows, text(InfoText::FreeSpace), sizeText(status.disk_part_mb));
    addRow(rows, {}, {});

    const std::string noValue = text(InfoText::NoValue);
    const std::string mode = status.rec_mode <= 5
                                 ? text(InfoText::ModeFirst + static_cast<int>(status.rec_mode))
                                 : noValue;
    const std::string channelLabel = text(InfoText::Channel);
    for (unsigned ch = 0; ch < channelCount && ch < 16; ++ch) {
        char label[160];
        std::snprintf(label, sizeof label, "%s %02u", channelLabel.c_str(), ch + 1);
        const bool recording = (status.rec_channel_mask >> ch) & 1u;
        addRow(rows, label, recording ? mode : noValue);
    }

    if (!status.diskDetails)
        return rows;
    addRow(rows, {}, {});
    const std::string diskLabel = text(InfoText::Disk);
    const std::string unit = text(InfoText::DiskUnit);
    // The list has two columns: the disk's label, then the value and the state, each after its
    // own label in the second column.
    for (std::size_t i = 0; i < kStatusInfoDisks; ++i) {
        if (status.disk_present[i] == 0)
            continue;
        char label[160];
        std::snprintf(label, sizeof label, "%s%zu", diskLabel.c_str(), i + 1);
        std::string value = noValue;
        if (status.disk_value[i] != 0) {
            char number[160];
            std::snprintf(number, sizeof number, "%d %s", status.disk_value[i], unit.c_str());
            value = number;
        }
        addRow(rows, label, text(InfoText::DiskValue) + ": " + value);
        const std::uint8_t state = status.disk_state[i];
        addRow(rows, {},
               text(InfoText::DiskState) + ": " +
                   (state <= 2 ? text(InfoText::StateFirst + state) : noValue));
    }
    return rows;
}

std::string firmwareBuildText(std::uint32_t buildTime) {
    using namespace std::chrono;
    // The recorder sends the build time as a signed count: a negative one counts as 0.
    const std::int64_t seconds = std::max<std::int64_t>(static_cast<std::int32_t>(buildTime), 0);
    const sys_seconds time{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d  %02u%02u  %02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()));
    return text;
}

std::vector<InfoRow> systemRows(const SystemFacts& facts, const InfoTextLookup& text) {
    std::vector<InfoRow> rows;
    addRow(rows, text(InfoText::Address), facts.address);
    addRow(rows, text(InfoText::Port), std::to_string(facts.port));
    addRow(rows, text(InfoText::Name), facts.siteText);
    char mac[32];
    const auto& m = facts.hello.mac;
    std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    addRow(rows, text(InfoText::Mac), mac);
    addRow(rows, {}, {});
    constexpr std::size_t kSlots[] = {0, 3, 4, 5, 6};
    for (std::size_t i = 0; i < std::size(kSlots); ++i) {
        const std::size_t slot = kSlots[i];
        addRow(rows, text(InfoText::FirmwareFirst + static_cast<int>(i)),
               firmwareBuildText(facts.hello.firmVer[slot]), facts.hello.firmName[slot]);
    }
    return rows;
}

} // namespace kalder
