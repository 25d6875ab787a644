#include "setup/model/basic_page.h"

#include "setup/model/profile_page.h"

#include <algorithm>
#include <cctype>

namespace kalder {

namespace {

constexpr std::size_t kLanguagePlaces = 64;
constexpr std::size_t kLanguageNameSize = 16;

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
        if (context.tables.sysEtcInfoExPresent && !context.tables.sysEtcInfoEx.empty()) {
            // Printable bytes up to the first NUL of the 16; the recorder is not trusted to end
            // its names.
            for (std::size_t k = 0; k < kLanguageNameSize; ++k) {
                const unsigned c = byte(context.tables.sysEtcInfoEx, kLanguageNameSize * i + k);
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
            const unsigned number = byte(context.tables.sysEtcInfo, i);
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

bool chooseVideoStandard(ConfigRecord& record, const SetupContext& context, unsigned standard) {
    if (standard > 1 || (standard != 0) == (record.value(configField("video_standard")) != 0))
        return false;
    return changeVideoStandard(record, context, static_cast<std::uint8_t>(standard));
}

} // namespace kalder
