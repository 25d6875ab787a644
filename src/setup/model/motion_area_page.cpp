#include "setup/model/motion_area_page.h"

#include "setup/model/profile_page.h"

namespace kalder {

namespace {

constexpr const ConfigField& kArea = configField("motion_area");

std::size_t cellIndex(unsigned channel, unsigned row, unsigned column) {
    return 99u * channel + 11u * row + column;
}

bool onGrid(const SetupContext& context, unsigned channel, unsigned row, unsigned column) {
    return channel < recChannelCount(context) && row < kMotionRows && column < kMotionColumns;
}

} // namespace

bool motionCell(const ConfigRecord& record, unsigned channel, unsigned row, unsigned column) {
    if (row >= kMotionRows || column >= kMotionColumns)
        return false;
    return record.value(kArea, cellIndex(channel, row, column)) != 0;
}

bool toggleMotionCell(ConfigRecord& record, const SetupContext& context, unsigned channel,
                      unsigned row, unsigned column) {
    if (!onGrid(context, channel, row, column))
        return false;
    return record.setValue(kArea, cellIndex(channel, row, column),
                           motionCell(record, channel, row, column) ? 0 : 1);
}

bool paintMotionCells(ConfigRecord& record, const SetupContext& context, unsigned channel,
                      const CellRange& cells) {
    if (!onGrid(context, channel, cells.row1, cells.column1))
        return false;
    for (unsigned r = cells.row0; r <= cells.row1; ++r)
        for (unsigned c = cells.column0; c <= cells.column1; ++c)
            record.setValue(kArea, cellIndex(channel, r, c), 1);
    return true;
}

bool fillMotionArea(ConfigRecord& record, const SetupContext& context, unsigned channel,
                    bool active) {
    if (channel >= recChannelCount(context))
        return false;
    for (unsigned r = 0; r < kMotionRows; ++r)
        for (unsigned c = 0; c < kMotionColumns; ++c)
            record.setValue(kArea, cellIndex(channel, r, c), active ? 1 : 0);
    return true;
}

} // namespace kalder
