#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <string>
#include <vector>

namespace kalder {

// The assignment page: five rows, each naming one recording profile (0 .. 5 for A .. F) or none
// (6); no profile in two rows.
inline constexpr unsigned kAssignmentRows = 5;
inline constexpr unsigned kAssignmentNone = 6;

// What row `row` offers: the first row A, B, C, D, F and none; the others A, B, C, D and none.
// Profile E is shown when received but is never offered.
std::vector<unsigned> assignmentChoices(unsigned row);

std::array<unsigned, kAssignmentRows> readAssignment(const ConfigRecord& record);

// Writes `value` into `row` and sets every other row holding the same profile to none. False
// (nothing written) for a value the row does not offer.
bool chooseAssignment(ConfigRecord& record, unsigned row, unsigned value);

// The names of the profiles (0 .. 5 for A .. F) as the Rec menu shows them; "None" for 6.
// Profile A has another name on recorders whose sub_product_num_major is 3 or 4.
std::string recProfileName(const SetupContext& context, unsigned value);

} // namespace kalder
