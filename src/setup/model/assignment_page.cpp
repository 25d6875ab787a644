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
    if (value == 0 && (context.subProductMajor == 3 || context.subProductMajor == 4))
        return "Normal";
    if (value <= 5)
        return std::string("Profile ") + static_cast<char>('A' + value);
    if (value == kAssignmentNone)
        return "None";
    return "Unknown (" + std::to_string(value) + ")";
}

} // namespace kalder
