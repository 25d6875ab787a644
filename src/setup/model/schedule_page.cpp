#include "setup/model/schedule_page.h"

#include "setup/model/assignment_page.h"

namespace kalder {

namespace {

constexpr const ConfigField& kSchedule = configField("schedule");

std::size_t cellIndex(unsigned day, unsigned hour) {
    return kScheduleHours * day + hour;
}

} // namespace

bool profileSchedule(const SetupContext& context) {
    return context.subProductMajor == 3 || context.subProductMajor == 4;
}

unsigned scheduleTop(const SetupContext& context) {
    return profileSchedule(context) ? 3 : 1;
}

unsigned scheduleCell(const ConfigRecord& record, unsigned day, unsigned hour) {
    if (day >= kScheduleDays || hour >= kScheduleHours)
        return 0;
    return record.value(kSchedule, cellIndex(day, hour));
}

void clampScheduleCells(ConfigRecord& record, const SetupContext& context) {
    const unsigned top = scheduleTop(context);
    for (unsigned day = 0; day < kScheduleDays; ++day)
        for (unsigned hour = 0; hour < kScheduleHours; ++hour)
            if (scheduleCell(record, day, hour) > top)
                record.setValue(kSchedule, cellIndex(day, hour), top);
}

bool clickScheduleCell(ConfigRecord& record, const SetupContext& context, unsigned day,
                       unsigned hour) {
    if (day >= kScheduleDays || hour >= kScheduleHours)
        return false;
    const unsigned top = scheduleTop(context);
    const unsigned now = scheduleCell(record, day, hour);
    return record.setValue(kSchedule, cellIndex(day, hour), now >= top ? 0 : now + 1);
}

bool paintScheduleCells(ConfigRecord& record, const SetupContext& context, const CellRange& cells,
                        unsigned value) {
    if (value > scheduleTop(context) || cells.column1 >= kScheduleDays ||
        cells.row1 >= kScheduleHours)
        return false;
    for (unsigned day = cells.column0; day <= cells.column1; ++day)
        for (unsigned hour = cells.row0; hour <= cells.row1; ++hour)
            record.setValue(kSchedule, cellIndex(day, hour), value);
    return true;
}

bool fillSchedule(ConfigRecord& record, const SetupContext& context, unsigned value) {
    return paintScheduleCells(record, context,
                              CellRange{0, kScheduleDays - 1, 0, kScheduleHours - 1}, value);
}

std::string scheduleValueName(const SetupContext& context, unsigned value) {
    // The profiles' own names, as the Rec menu shows them; value 3 joins two of them.
    switch (value) {
    case 0:
    case 1:
    case 2:
        return recProfileName(context, value);
    case 3:
        return context.subProductMajor == 4
                   ? recProfileName(context, 2) + "+" + recProfileName(context, 0)
                   : recProfileName(context, 1) + "+" + recProfileName(context, 2);
    default:
        return {};
    }
}

} // namespace kalder
