#pragma once

#include "setup/model/dst_setup_page.h"
#include "setup/model/recorder_tables.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

// NTP Setup: owns `time_zone`, `ntp_enable`, `ntp_server_choice`, `ntp_address` and
// `ntp_server`; `ntp_server_default` is shown, never written. It reads the `dst` bytes and
// `date_format` for its preview of the recorder's clock.

inline constexpr std::size_t kNtpServerNameMax = 31; // the 32-byte field keeps its NUL

struct NtpState {
    unsigned zone = 0;
    bool enabled = false;
    unsigned serverChoice = 0; // 0 first server, 1 named server, 2 server by address
    std::string defaultServer;
    std::string server;
    std::array<std::uint8_t, 4> address{};
};
NtpState readNtp(const ConfigRecord& record);

// Zone z (1 .. 24; 0 no zone) is this many seconds ahead of UTC; 24 is +9:30.
int zoneOffsetSeconds(unsigned zone);
// "GMT+09:30"; the off text for zone 0.
std::string zoneText(unsigned zone);
// The zone list: 25 entries above record version 4.1, with the +9:30 zone (24) in place 11
// between +9 and +10, else 24 entries, entry z storing zone z.
std::vector<unsigned> zoneListOrder(RecordVersion version);
std::vector<std::string> zoneEntries(RecordVersion version);

// The preview's wall-clock time, seconds since 1970 of the recorder's local clock: the server's
// UNIX time plus the zone's offset, plus the record's shift while daylight saving is in force by
// the own rule (mode 1, date fields) or by regional rule mode - 2 (weekday rule) in that year.
// Zone 0 has no preview.
std::optional<std::int64_t> previewTime(std::uint32_t unixTime, unsigned zone,
                                        const DstSettings& dst, const std::vector<DstRule>& rules);
// Whether `wall` lies in daylight saving for `dst` (false for mode 0 or a rule the table lacks).
bool inDaylightSaving(std::int64_t wall, const DstSettings& dst, const std::vector<DstRule>& rules);
// "%04d-%02d-%02d  %02d:%02d:%02d" year first (0), month first (1) or day first (2).
std::string formatPreview(std::int64_t wall, unsigned dateFormat);

void chooseZone(ConfigRecord& record, unsigned zone);
void setNtpEnabled(ConfigRecord& record, bool enabled);
void setNtpServerChoice(ConfigRecord& record, unsigned choice);
// The whole field is cleared first; a longer name is cut to 31 characters.
void setNtpServerName(ConfigRecord& record, const std::string& name);
void setNtpAddress(ConfigRecord& record, const std::array<std::uint8_t, 4>& address);

} // namespace kalder
