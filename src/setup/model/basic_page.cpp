#include "setup/model/basic_page.h"

#include <algorithm>
#include <cctype>

namespace kalder {

namespace {

constexpr std::size_t kLanguagePlaces = 64;
constexpr std::size_t kLanguageNameSize = 16;

unsigned costFactor(unsigned code) {
    return code == 0 ? 4 : code == 1 ? 2 : 1;
}

unsigned budget(bool pal) {
    return pal ? 100 : 120;
}

} // namespace

std::string knownLanguageName(const std::string& recorderName) {
    // The recorder's spellings and the client's words for them.
    static const struct {
        const char* recorder;
        const char* shown;
    } kKnown[] = {{"English", "English"},
                  {"French", "French"},
                  {"German", "German"},
                  {"Italian", "Italian"},
                  {"Dutch", "Dutch"},
                  {"Russian", "Russian"},
                  {"Polish", "Polish"},
                  {"Spanish", "Spanish"},
                  {"Hungarian", "Hungarian"},
                  {"Slovak", "Slovak"},
                  {"Portuguese", "Portuguese"},
                  {"Korean", "Korean"},
                  {"Japanese", "Japanese"},
                  {"S.Chinese", "Simplified Chinese"},
                  {"T.Chinese", "Traditional Chinese"},
                  {"Turkish", "Turkish"},
                  {"Danish", "Danish"}};
    for (const auto& known : kKnown) {
        const std::string_view name = known.recorder;
        if (name.size() == recorderName.size() &&
            std::equal(name.begin(), name.end(), recorderName.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return known.shown;
    }
    return {};
}

std::vector<LanguageEntry> recorderLanguages(const SetupContext& context, std::size_t limit) {
    std::vector<LanguageEntry> entries;
    const auto byte = [](const std::vector<std::byte>& table, std::size_t i) {
        return i < table.size() ? std::to_integer<unsigned char>(table[i]) : 0u;
    };
    for (std::size_t i = 0; i < kLanguagePlaces && entries.size() < limit; ++i) {
        std::string name;
        if (!context.sysEtcInfoEx.empty()) {
            // Printable bytes up to the first NUL of the 16; the recorder is not trusted to end
            // its names.
            for (std::size_t k = 0; k < kLanguageNameSize; ++k) {
                const unsigned c = byte(context.sysEtcInfoEx, kLanguageNameSize * i + k);
                if (c == 0)
                    break;
                if (c >= 0x20 && c != 0x7F)
                    name.push_back(static_cast<char>(c));
            }
            if (name.empty())
                continue;
            if (std::string known = knownLanguageName(name); !known.empty())
                name = std::move(known);
        } else {
            const unsigned number = byte(context.sysEtcInfo, i);
            if (number == 0 || number > std::size(kClientLanguages))
                continue;
            name = kClientLanguages[number - 1];
        }
        entries.push_back({std::move(name), static_cast<unsigned>(i)});
    }
    return entries;
}

BasicState readBasic(const ConfigRecord& record, const SetupContext& context) {
    BasicState state;
    state.language = record.value(configField("language"));
    state.dateFormat = record.value(configField("date_format"));
    state.pal = record.value(configField("video_standard")) != 0;
    state.option3 = record.value(configField("basic_option_3"));
    state.option3IsNumber = context.subProductMajor == 2;
    return state;
}

bool setLanguage(ConfigRecord& record, unsigned tableIndex) {
    return tableIndex < kLanguagePlaces && record.setValue(configField("language"), 0, tableIndex);
}

bool setDateFormat(ConfigRecord& record, unsigned format) {
    return format < kDateFormats && record.setValue(configField("date_format"), 0, format);
}

bool setBasicOption3(ConfigRecord& record, const SetupContext& context, unsigned value) {
    const unsigned top =
        context.subProductMajor == 2 ? kBasicOption3Max : kBasicOption3ListEntries - 1;
    return value <= top && record.setValue(configField("basic_option_3"), 0, value);
}

std::vector<unsigned> defaultRateDistribution(bool pal, unsigned code, unsigned channels) {
    std::vector<unsigned> rates(channels, 0);
    if (channels != 4 && channels != 8 && channels != 16)
        return rates;
    const unsigned total = budget(pal) / costFactor(code);
    for (unsigned ch = 0; ch < channels; ++ch)
        rates[ch] = total / channels + (ch < total % channels ? 1 : 0);
    return rates;
}

bool chooseVideoStandard(ConfigRecord& record, const SetupContext& context, unsigned standard) {
    const bool pal = standard != 0;
    if (standard > 1 || pal == (record.value(configField("video_standard")) != 0))
        return false;
    record.setValue(configField("video_standard"), 0, pal ? 1 : 0);
    const unsigned n = std::min(context.channelNum, 16u);
    for (unsigned profile = 0; profile < 6; ++profile)
        for (unsigned ch = 0; ch < n; ++ch)
            record.setValue(configField("resolution"), 16 * profile + ch, 0);
    const std::vector<unsigned> rates = defaultRateDistribution(pal, 0, n);
    for (const ConfigField* f : {&configField("profile_e_rate"), &configField("profile_d_rate"),
                                 &configField("profile_c_rate"), &configField("profile_b_rate"),
                                 &configField("profile_a_rate")})
        for (unsigned ch = 0; ch < n; ++ch)
            record.setValue(*f, ch, rates[ch]);
    // The general recording rate for the resolution it has, spread over 4, 8 or 16 channels.
    const unsigned spread = n <= 4 ? 4 : n <= 8 ? 8 : 16;
    const unsigned code = std::min(record.value(configField("rec_resolution")), 2u);
    record.setValue(configField("rec_rate"), 0, budget(pal) / costFactor(code) / spread);
    return true;
}

} // namespace kalder
