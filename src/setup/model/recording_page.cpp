#include "setup/model/recording_page.h"

#include "setup/model/profile_page.h"

#include <algorithm>
#include <cstdio>

namespace kalder {

std::vector<RecordingRow> recordingRows(RecordVersion version) {
    using R = RecordingRow;
    if (version.above(4, 2))
        return {R::Flag2, R::Time2, R::Choice1, R::Channel};
    return {R::Flag1, R::Flag2, R::Resolution, R::Rate, R::Time1, R::Time2, R::Choice1, R::Channel};
}

bool regionButtonShown(const SetupContext& context) {
    return context.subProductMajor != 2;
}

unsigned recordingRateFor(unsigned budget, unsigned code, unsigned channels) {
    const unsigned share = channels <= 4 ? 4 : channels <= 8 ? 8 : 16;
    return budget / resolutionCost(code) / share;
}

unsigned recordingRateMax(unsigned budget, unsigned code, unsigned channels) {
    const unsigned share = channels <= 4 ? 4 : channels <= 8 ? 8 : channels == 16 ? 16 : 4;
    return budget / resolutionCost(code) / share;
}

RecordingState readRecording(const ConfigRecord& record, const SetupContext& context) {
    RecordingState s;
    s.rows = recordingRows(context.version);
    s.channels = recChannelCount(context);
    s.regionButton = regionButtonShown(context);
    s.resolution = record.value(configField("rec_resolution"));
    s.flag1 = record.value(configField("rec_flag_1")) != 0;
    s.flag2 = record.value(configField("rec_flag_2")) != 0;
    s.rate = record.value(configField("rec_rate"));
    s.rateMax = recordingRateMax(recBudget(record), s.resolution, s.channels);
    s.time1 = record.value(configField("rec_time_1"));
    s.time2 = record.value(configField("rec_time_2"));
    s.choice1 = record.value(configField("rec_choice_1"));
    s.channel = record.value(configField("rec_channel"));
    return s;
}

bool chooseRecordingResolution(ConfigRecord& record, const SetupContext& context, unsigned code) {
    if (code > kResCif)
        return false;
    if (record.value(configField("rec_resolution")) == code)
        return true;
    record.setValue(configField("rec_resolution"), 0, code);
    return record.setValue(configField("rec_rate"), 0,
                           recordingRateFor(recBudget(record), code, recChannelCount(context)));
}

bool chooseRecordingRate(ConfigRecord& record, const SetupContext& context, unsigned rate) {
    const unsigned max = recordingRateMax(
        recBudget(record), record.value(configField("rec_resolution")), recChannelCount(context));
    return rate <= max && record.setValue(configField("rec_rate"), 0, rate);
}

bool setRecordingFlag(ConfigRecord& record, unsigned which, bool on) {
    if (which == 1)
        return record.setValue(configField("rec_flag_1"), 0, on ? 1 : 0);
    if (which == 2)
        return record.setValue(configField("rec_flag_2"), 0, on ? 1 : 0);
    return false;
}

bool chooseRecordingTime1(ConfigRecord& record, unsigned index) {
    return index < kRecTime1Values.size() &&
           record.setValue(configField("rec_time_1"), 0, kRecTime1Values[index]);
}

bool setRecordingTime2(ConfigRecord& record, unsigned seconds) {
    return seconds >= kRecTime2Min && seconds <= kRecTime2Max &&
           record.setValue(configField("rec_time_2"), 0, seconds);
}

bool chooseRecordingChoice1(ConfigRecord& record, unsigned index) {
    return index < kRecChoice1Count && record.setValue(configField("rec_choice_1"), 0, index);
}

bool chooseRecordingChannel(ConfigRecord& record, const SetupContext& context, unsigned channel) {
    return channel < recChannelCount(context) &&
           record.setValue(configField("rec_channel"), 0, channel);
}

std::string recordingChannelLabel(unsigned channel) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%02u", "CH", channel + 1);
    return text;
}

RegionRect readRegion(const ConfigRecord& record, unsigned channel) {
    return {record.value(configField("area_left"), channel),
            record.value(configField("area_right"), channel),
            record.value(configField("area_top"), channel),
            record.value(configField("area_bottom"), channel)};
}

RegionRect regionFromPixels(int x0, int y0, int x1, int y1) {
    const auto unit = [](int pixel, unsigned units) {
        const int u = pixel < 0 ? 0 : pixel / static_cast<int>(kRegionPixelsPerUnit);
        return std::min(static_cast<unsigned>(u), units);
    };
    return {unit(std::min(x0, x1), kRegionUnitsX), unit(std::max(x0, x1), kRegionUnitsX),
            unit(std::min(y0, y1), kRegionUnitsY), unit(std::max(y0, y1), kRegionUnitsY)};
}

bool writeRegion(ConfigRecord& record, const SetupContext& context, unsigned channel,
                 const RegionRect& rect) {
    if (channel >= recChannelCount(context))
        return false;
    return record.setValue(configField("area_left"), channel, rect.left) &&
           record.setValue(configField("area_right"), channel, rect.right) &&
           record.setValue(configField("area_top"), channel, rect.top) &&
           record.setValue(configField("area_bottom"), channel, rect.bottom);
}

std::string regionText(const RegionRect& rect) {
    char text[96];
    std::snprintf(text, sizeof text, "LEFT: %u    RIGHT: %u    TOP: %u    BOTTOM: %u", rect.left,
                  rect.right, rect.top, rect.bottom);
    return text;
}

} // namespace kalder
