#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalder {

// The Basic page: the recorder's menu language, date format, video standard and fourth option;
// its deinterlace sub-page is a channel switch page. Owns `language`, `date_format`,
// `video_standard`, `basic_option_3` and, through a change of standard, the recording fields the
// standard decides (all resolution rows, the profile rates and `rec_rate`).
inline constexpr unsigned kDateFormats = 3;
inline constexpr unsigned kBasicOption3ListEntries = 16;
inline constexpr unsigned kBasicOption3Max = 99;

// The client's own languages, numbered 1 .. 13 by the recorder's SYS_ETC_INFO.
inline constexpr const char* kClientLanguages[] = {
    "English", "Chinese", "French",    "German", "Italian",    "Dutch",   "Russian",
    "Polish",  "Spanish", "Hungarian", "Slovak", "Portuguese", "Japanese"};

struct LanguageEntry {
    std::string name;
    unsigned tableIndex = 0; // what choosing it stores
};

// The languages the recorder has, in its table's order: from SYS_ETC_INFO_EX's 64 names of 16
// bytes when the recorder sent it (a known name shown in the client's words, another as it
// stands), else from SYS_ETC_INFO's 64 numbers into the client's list. At most `limit` entries.
std::vector<LanguageEntry> recorderLanguages(const SetupContext& context, std::size_t limit);
// The client's words for a recorder language name it knows (compared without regard to case);
// empty when it does not know it.
std::string knownLanguageName(const std::string& recorderName);

struct BasicState {
    unsigned language = 0;
    unsigned dateFormat = 0;
    bool pal = false;
    unsigned option3 = 0;
    bool option3IsNumber = false; // number chooser 0 .. 99, else a list of 16
};

BasicState readBasic(const ConfigRecord& record, const SetupContext& context);

bool setLanguage(ConfigRecord& record, unsigned tableIndex);
bool setDateFormat(ConfigRecord& record, unsigned format);
bool setBasicOption3(ConfigRecord& record, const SetupContext& context, unsigned value);

// Choosing a video standard (0 NTSC, 1 PAL). A different one is stored and resets the recording
// settings that depend on it: every shown channel of the six resolution rows to 4CIF, profile
// E's rates to the 4CIF default distribution (all 0 unless there are 4, 8 or 16 channels),
// profiles A .. D equal to profile E, and `rec_rate` to the rate of its resolution (the
// recording pages' rule, `changeVideoStandard`). True when the standard changed.
bool chooseVideoStandard(ConfigRecord& record, const SetupContext& context, unsigned standard);

} // namespace kalder
