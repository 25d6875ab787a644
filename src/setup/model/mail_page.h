#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

// The e-mail page (four texts and `mail_choice`) and its time sub-page (`mail_times`). Owns
// those fields only.
inline constexpr std::size_t kMailTexts = 4;
inline constexpr std::size_t kMailTextMaxChars = 120;
inline constexpr unsigned kMailChoices = 3;
// The test mail carries the mail settings block as the page holds it: the four texts,
// `mail_choice` and the three bytes after it.
inline constexpr std::size_t kMailBlockOffset = 3512;
inline constexpr std::size_t kMailBlockSize = 516;

struct MailState {
    std::array<std::string, kMailTexts> texts;
    unsigned choice = 0;
    bool timePageButton = false;
};

const ConfigField& mailTextField(std::size_t index);
MailState readMail(const ConfigRecord& record, const SetupContext& context);

// What a text box may hold: at most 120 printable single-byte characters.
std::string mailTextFromInput(std::u32string_view input);
// The text and one NUL; the rest of the field as it was.
bool writeMailText(ConfigRecord& record, std::size_t index, std::string_view text);
bool setMailChoice(ConfigRecord& record, unsigned choice);

// The time page exists on records of major version 5 and later.
bool mailTimePageShown(RecordVersion version);

// One row of the time page: a time (three bytes hour, minute, second) or a list of seven.
struct MailTimeRow {
    enum class Kind { Time, List } kind;
    std::size_t index; // into `mail_times`
};
// The rows the time page shows for `choice`: 0 two times, 1 one time, 2 a list and a time.
std::vector<MailTimeRow> mailTimeRows(unsigned choice);
inline constexpr unsigned kMailTimeListEntries = 7;

struct MailTime {
    unsigned hour = 0, minute = 0, second = 0;
};
MailTime mailTime(const ConfigRecord& record, std::size_t index);
// False (nothing written) for a time out of range or an index that is not a time's.
bool setMailTime(ConfigRecord& record, std::size_t index, MailTime time);
bool setMailTimeList(ConfigRecord& record, unsigned entry);
std::string mailTimeText(MailTime time); // "hh : mm : ss"

// SEND_TEST_MAIL_REQ's payload: the working copy's mail block as it stands now, edits not yet
// sent with OK included.
std::array<std::byte, kMailBlockSize> testMailPayload(const ConfigRecord& record);

} // namespace kalder
