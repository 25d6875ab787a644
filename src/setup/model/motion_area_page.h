#pragma once

#include "setup/model/grid_band.h"
#include "setup/model/setup_context.h"
#include "wire/config_record.h"

namespace kalder {

// The motion-area page of profile C: per channel a grid of 10 columns x 8 rows of 36 x 36-pixel
// cells, each one byte of motion_area (1 = motion counts there). The record's row 8 and column
// 10 of each channel are not cells of the grid and are never written.
inline constexpr unsigned kMotionColumns = 10;
inline constexpr unsigned kMotionRows = 8;
inline constexpr int kMotionCellPixels = 36;

bool motionCell(const ConfigRecord& record, unsigned channel, unsigned row, unsigned column);
// A click: the cell flips. False for a channel the page does not show or a cell off the grid.
bool toggleMotionCell(ConfigRecord& record, const SetupContext& context, unsigned channel,
                      unsigned row, unsigned column);
// A rubber band: every cell it touches becomes 1.
bool paintMotionCells(ConfigRecord& record, const SetupContext& context, unsigned channel,
                      const CellRange& cells);
// Buttons 480 (all 1) and 481 (all 0).
bool fillMotionArea(ConfigRecord& record, const SetupContext& context, unsigned channel,
                    bool active);

} // namespace kalder
