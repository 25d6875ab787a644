#pragma once

#include "setup/model/grid_band.h"
#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <string>

namespace kalder {

// The schedule page: 7 day columns x 24 hour rows of 50 x 15-pixel cells, cell (day, hour) one
// byte of `schedule`. On ordinary recorders a cell is 0 or 1 (the hour is in profile D's
// schedule). On recorders whose sub_product_num_major is 3 or 4 the page opens straight from the
// Rec menu and a cell names the profile that records in that hour: 0 A, 1 B, 2 C, 3 two of them
// together (B+C on 3, C+A on 4).
inline constexpr unsigned kScheduleDays = 7;
inline constexpr unsigned kScheduleHours = 24;
inline constexpr int kScheduleCellWidth = 50;
inline constexpr int kScheduleCellHeight = 15;

bool profileSchedule(const SetupContext& context);
// The highest value a cell holds: 3 on profile-schedule recorders, else 1.
unsigned scheduleTop(const SetupContext& context);

unsigned scheduleCell(const ConfigRecord& record, unsigned day, unsigned hour);
// Opening the page: a cell above the top is set to the top.
void clampScheduleCells(ConfigRecord& record, const SetupContext& context);
// A click: an ordinary cell flips; a profile cell advances to the next value (the top wraps to 0).
bool clickScheduleCell(ConfigRecord& record, const SetupContext& context, unsigned day,
                       unsigned hour);
// A rubber band or a fill button: every cell in `cells` (or all cells) gets `value`, which must
// not be above the top.
bool paintScheduleCells(ConfigRecord& record, const SetupContext& context, const CellRange& cells,
                        unsigned value);
bool fillSchedule(ConfigRecord& record, const SetupContext& context, unsigned value);

// The caption of a profile-schedule value: "A", "B", "C", "B+C" or "C+A".
std::string scheduleValueName(const SetupContext& context, unsigned value);

} // namespace kalder
