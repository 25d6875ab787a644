#include "setup/model/assignment_page.h"

#include <algorithm>

namespace kalder {

namespace {
constexpr const ConfigField& kAssign = configField("output_assign");
}

std::vector<unsigned> assignmentChoices(unsigned row) {
    if (row == 0)
        return {0, 1, 2, 3, 5, kAssignmentNone};
    if (row < kAssignmentRows)
        return {0, 1, 2, 3, kAssignmentNone};
    return {};
}

std::array<unsigned, kAssignmentRows> readAssignment(const ConfigRecord& record) {
    std::array<unsigned, kAssignmentRows> rows{};
    for (unsigned r = 0; r < kAssignmentRows; ++r)
        rows[r] = record.value(kAssign, r);
    return rows;
}

bool chooseAssignment(ConfigRecord& record, unsigned row, unsigned value) {
    const std::vector<unsigned> offered = assignmentChoices(row);
    if (std::find(offered.begin(), offered.end(), value) == offered.end())
        return false;
    record.setValue(kAssign, row, value);
    if (value == kAssignmentNone)
        return true;
    for (unsigned r = 0; r < kAssignmentRows; ++r)
        if (r != row && record.value(kAssign, r) == value)
            record.setValue(kAssign, r, kAssignmentNone);
    return true;
}

std::string recProfileName(const SetupContext& context, unsigned value) {
    // Each profile is named after what makes the recorder record with it: A all the time (on
    // recorders whose schedule names the profile of each hour, the normal recording of an
    // hour), B an alarm of a linked sensor, C motion, D the weekly schedule, E motion together
    // with an alarm; F is the archive (the channels kept, locked, for a number of days).
    static const char* const kNames[] = {"Continuous", "Alarm",          "Motion",
                                         "Schedule",   "Motion + Alarm", "Archive"};
    if (value == 0 && (context.subProductMajor == 3 || context.subProductMajor == 4))
        return "Normal";
    if (value <= 5)
        return kNames[value];
    if (value == kAssignmentNone)
        return "None";
    return "Unknown (" + std::to_string(value) + ")";
}

} // namespace kalder
