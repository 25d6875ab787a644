#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kalder {

// The general recording page. Owns rec_resolution, rec_flag_1, rec_flag_2, rec_rate, rec_time_1,
// rec_time_2, rec_choice_1 and rec_channel; its Region sub-page owns area_left .. area_bottom.
enum class RecordingRow : std::uint8_t {
    Flag1,
    Flag2,
    Resolution,
    Rate,
    Time1,
    Time2,
    Choice1,
    Channel,
};

// Eight rows up to record version 4.2; above it only the second flag, the second time, the
// choice and the channel, in that order.
std::vector<RecordingRow> recordingRows(RecordVersion version);
// The Region button is not offered on recorders whose sub_product_num_major is 2.
bool regionButtonShown(const SetupContext& context);

// The rate a resolution choice sets: budget / cost / N, N = 4, 8 or 16 by channel count.
unsigned recordingRateFor(unsigned budget, unsigned code, unsigned channels);
// The highest rate the rate list offers: budget / cost / N', N' = 4, 8, 16 for 4, 8, 16
// channels and 4 for any other count (at most 31 entries, 0 .. 30).
unsigned recordingRateMax(unsigned budget, unsigned code, unsigned channels);

inline constexpr std::array<unsigned, 5> kRecTime1Values = {0, 5, 10, 15, 20};
inline constexpr unsigned kRecTime2Min = 10;
inline constexpr unsigned kRecTime2Max = 240;
inline constexpr unsigned kRecChoice1Count = 3;

struct RecordingState {
    std::vector<RecordingRow> rows;
    unsigned channels = 0;
    bool regionButton = false;
    unsigned resolution = 0;
    bool flag1 = false;
    bool flag2 = false;
    unsigned rate = 0;
    unsigned rateMax = 0;
    unsigned time1 = 0;
    unsigned time2 = 0;
    unsigned choice1 = 0;
    unsigned channel = 0;
};

RecordingState readRecording(const ConfigRecord& record, const SetupContext& context);

// Each writes its field and returns false (nothing written) for a value the page does not offer.
// A different resolution sets the rate for it; the same one changes nothing.
bool chooseRecordingResolution(ConfigRecord& record, const SetupContext& context, unsigned code);
bool chooseRecordingRate(ConfigRecord& record, const SetupContext& context, unsigned rate);
bool setRecordingFlag(ConfigRecord& record, unsigned which, bool on);
bool chooseRecordingTime1(ConfigRecord& record, unsigned index);
bool setRecordingTime2(ConfigRecord& record, unsigned seconds);
bool chooseRecordingChoice1(ConfigRecord& record, unsigned index);
bool chooseRecordingChannel(ConfigRecord& record, const SetupContext& context, unsigned channel);
// "CH01" .. for the channel list: one word and the two-digit number.
std::string recordingChannelLabel(unsigned channel);

// The Region page: one rectangle per channel, its edges in units of 4 pixels of a picture area
// of kRegionUnitsX x kRegionUnitsY units.
inline constexpr unsigned kRegionPixelsPerUnit = 4;
inline constexpr unsigned kRegionUnitsX = 44;
inline constexpr unsigned kRegionUnitsY = 30;

struct RegionRect {
    unsigned left = 0;
    unsigned right = 0;
    unsigned top = 0;
    unsigned bottom = 0;
    bool operator==(const RegionRect&) const = default;
};

RegionRect readRegion(const ConfigRecord& record, unsigned channel);
// A rectangle dragged from one pixel to another of the picture area: edges ordered, in units
// (rounded down), kept inside the area.
RegionRect regionFromPixels(int x0, int y0, int x1, int y1);
bool writeRegion(ConfigRecord& record, const SetupContext& context, unsigned channel,
                 const RegionRect& rect);
// "LEFT: %d    RIGHT: %d    TOP: %d    BOTTOM: %d"
std::string regionText(const RegionRect& rect);

} // namespace kalder
