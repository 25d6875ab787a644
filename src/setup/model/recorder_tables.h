#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// The recorder's system tables as the session keeps them (SYS_ETC_INFO, SYS_ETC_INFO_EX and the
// regional daylight-saving rules of DST_INFO); empty without a session.
struct SetupTables {
    std::vector<std::byte> sysEtcInfo;
    std::vector<std::byte> sysEtcInfoEx;
    bool sysEtcInfoExPresent = false;
    std::vector<std::byte> dstTable; // first word (the rule count) in host order
};

// One serial device type the recorder drives (a PTZ protocol or an operator keyboard).
struct SerialDeviceType {
    std::string name;
    unsigned baudCount = 0; // offers the first baudCount rates of kBaudRateTexts
};

inline constexpr std::size_t kSerialTablePlaces = 64;
inline constexpr std::size_t kBaudRateCount = 6;
inline constexpr const char* kBaudRateTexts[kBaudRateCount] = {
    "2400 bps", "4800 bps", "9600 bps", "19200 bps", "38400 bps", "76800 bps"};

enum class SerialTable { PtzProtocols, Keyboards };

// The entries of a table that exist, in table order: with SYS_ETC_INFO_EX the named entries
// (an empty name is no entry), otherwise the entries of SYS_ETC_INFO with a nonzero built-in
// number, named from the client's own list. A baud count above the six rates known is cut to
// six. A short or missing table gives fewer (or no) entries.
std::vector<SerialDeviceType> serialDeviceTypes(const SetupTables& tables, SerialTable which);

// One regional rule of DST_INFO: months 0-11, week 0-3 (4 the last), weekday 0 Monday - 6
// Sunday.
struct DstRule {
    std::uint8_t startMonth = 0, startWeek = 0, startWeekday = 0, startHour = 0, startMinute = 0;
    std::uint8_t endMonth = 0, endWeek = 0, endWeekday = 0, endHour = 0, endMinute = 0;
};
inline constexpr std::size_t kMaxRegionalDstRules = 28; // mode list entries 2 .. 29
// The table's rules, at most 28 and at most as many as its first word announces.
std::vector<DstRule> regionalDstRules(const SetupTables& tables);

} // namespace kalder
