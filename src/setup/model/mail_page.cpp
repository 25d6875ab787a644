#include "setup/model/mail_page.h"

#include <algorithm>
#include <cstdio>

namespace kalder {

namespace {

constexpr std::size_t kMailTimeList = 9; // the list row of choice 2
constexpr std::size_t kMailTimeStarts[] = {0, 3, 6, 10};

} // namespace

const ConfigField& mailTextField(std::size_t index) {
    switch (index) {
    case 0:
        return configField("mail_text_1");
    case 1:
        return configField("mail_text_2");
    case 2:
        return configField("mail_text_3");
    default:
        break;
    }
    return configField("mail_text_4");
}

MailState readMail(const ConfigRecord& record, const SetupContext& context) {
    MailState state;
    for (std::size_t i = 0; i < kMailTexts; ++i)
        state.texts[i] = record.text(mailTextField(i));
    state.choice = record.value(configField("mail_choice"));
    state.timePageButton = mailTimePageShown(context.version);
    return state;
}

std::string mailTextFromInput(std::u32string_view input) {
    std::string text;
    for (char32_t c : input) {
        if (text.size() == kMailTextMaxChars)
            break;
        if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF))
            text.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    }
    return text;
}

bool writeMailText(ConfigRecord& record, std::size_t index, std::string_view text) {
    if (index >= kMailTexts || text.size() > kMailTextMaxChars)
        return false;
    return record.setText(mailTextField(index), 0, text, TextFill::Terminate);
}

bool setMailChoice(ConfigRecord& record, unsigned choice) {
    return choice < kMailChoices && record.setValue(configField("mail_choice"), 0, choice);
}

bool mailTimePageShown(RecordVersion version) {
    return version.major >= 5;
}

std::vector<MailTimeRow> mailTimeRows(unsigned choice) {
    using K = MailTimeRow::Kind;
    switch (choice) {
    case 0:
        return {{K::Time, 0}, {K::Time, 3}};
    case 1:
        return {{K::Time, 6}};
    case 2:
        return {{K::List, kMailTimeList}, {K::Time, 10}};
    default:
        return {};
    }
}

MailTime mailTime(const ConfigRecord& record, std::size_t index) {
    const ConfigField& f = configField("mail_times");
    return {record.value(f, index), record.value(f, index + 1), record.value(f, index + 2)};
}

bool setMailTime(ConfigRecord& record, std::size_t index, MailTime time) {
    if (std::find(std::begin(kMailTimeStarts), std::end(kMailTimeStarts), index) ==
        std::end(kMailTimeStarts))
        return false;
    if (time.hour > 23 || time.minute > 59 || time.second > 59)
        return false;
    const ConfigField& f = configField("mail_times");
    return record.setValue(f, index, time.hour) && record.setValue(f, index + 1, time.minute) &&
           record.setValue(f, index + 2, time.second);
}

bool setMailTimeList(ConfigRecord& record, unsigned entry) {
    return entry < kMailTimeListEntries &&
           record.setValue(configField("mail_times"), kMailTimeList, entry);
}

std::string mailTimeText(MailTime time) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u : %02u : %02u", time.hour, time.minute, time.second);
    return text;
}

std::array<std::byte, kMailBlockSize> testMailPayload(const ConfigRecord& record) {
    std::array<std::byte, kMailBlockSize> payload{};
    const std::span<const std::byte> bytes = record.bytes();
    std::copy_n(bytes.begin() + kMailBlockOffset, kMailBlockSize, payload.begin());
    return payload;
}

} // namespace kalder
