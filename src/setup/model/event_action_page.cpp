#include "setup/model/event_action_page.h"

#include <algorithm>

namespace kalder {

namespace {

const ConfigField& rowsField(EventActionPage page) {
    switch (page) {
    case EventActionPage::A:
        return configField("notify_a");
    case EventActionPage::B:
        return configField("notify_b");
    case EventActionPage::C:
        break;
    }
    return configField("notify_c");
}

const ConfigField& fifthField(EventActionPage page) {
    switch (page) {
    case EventActionPage::A:
        return configField("notify_a_5");
    case EventActionPage::B:
        return configField("notify_b_5");
    case EventActionPage::C:
        break;
    }
    return configField("notify_c_5");
}

const ConfigField* durationField(EventActionPage page) {
    switch (page) {
    case EventActionPage::A:
        return nullptr;
    case EventActionPage::B:
        return &configField("notify_b_time");
    case EventActionPage::C:
        break;
    }
    return &configField("notify_c_time");
}

} // namespace

bool eventFifthRowShown(RecordVersion version) {
    return version.above(4, 6);
}

bool eventChannelPageShown(RecordVersion version) {
    return version.major >= 5;
}

EventActionState readEventAction(const ConfigRecord& record, const SetupContext& context,
                                 EventActionPage page) {
    EventActionState state;
    for (std::size_t row = 0; row < 4; ++row)
        state.rows[row] = static_cast<std::uint8_t>(record.value(rowsField(page), row));
    state.rows[4] = static_cast<std::uint8_t>(record.value(fifthField(page)));
    state.rowCount = eventFifthRowShown(context.version) ? 5 : 4;
    if (const ConfigField* f = durationField(page)) {
        state.hasDuration = true;
        state.duration = record.value(*f);
    }
    state.channelPageButton = page == EventActionPage::A && eventChannelPageShown(context.version);
    return state;
}

bool setEventAction(ConfigRecord& record, const SetupContext& context, EventActionPage page,
                    std::size_t row, bool yes) {
    if (row < 4)
        return record.setValue(rowsField(page), row, yes ? 1 : 0);
    if (row == 4 && eventFifthRowShown(context.version))
        return record.setValue(fifthField(page), 0, yes ? 1 : 0);
    return false;
}

bool clearEventDuration(ConfigRecord& record, EventActionPage page) {
    const ConfigField* f = durationField(page);
    return f && record.setValue(*f, 0, 0);
}

bool setEventDuration(ConfigRecord& record, EventActionPage page, std::int64_t seconds) {
    const ConfigField* f = durationField(page);
    const auto kept = std::clamp<std::int64_t>(seconds, kEventDurationMin, kEventDurationMax);
    return f && record.setValue(*f, 0, static_cast<std::uint32_t>(kept));
}

bool setEventDurationPreset(ConfigRecord& record, EventActionPage page, std::size_t index) {
    const ConfigField* f = durationField(page);
    return f && index < kEventDurationPresets.size() &&
           record.setValue(*f, 0, kEventDurationPresets[index]);
}

std::string eventDurationText(std::uint32_t seconds, const std::string& unit) {
    if (seconds == 0)
        return {};
    return std::to_string(seconds) + " " + unit;
}

} // namespace kalder
