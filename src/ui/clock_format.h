#pragma once

#include "resources/resource_ids.h"
#include "wire/recorder_time.h" // CivilTime: a wall-clock time broken down without a time zone

#include <cstdint>
#include <string>
#include <vector>

namespace kalder {

// What the clock displays show: the time on a 12-hour dial and the date in the operator's
// order, as glyphs cut from strip pictures of the resource library. Pure; the ClockDisplay
// widget copies the glyphs.

// Breaks seconds since 1970-01-01 00:00:00 down as UTC; a negative time counts as 0.
CivilTime civilFromSeconds(std::int64_t seconds);

// Order of the date: 0 year-month-day, 1 month-day-year, 2 day-month-year (any other value
// counts as year first).
enum class DateOrder { YearFirst = 0, MonthFirst = 1, DayFirst = 2 };
DateOrder dateOrderFromSetting(int dateFormat);

// The 12-hour dial: 00 → 12 AM, 01-09 → blank tens and the digit, 10 and 11 AM, 12 PM,
// 13-21 → blank tens and 1-9 PM, 22 and 23 → 10 and 11 PM.
struct DialHour {
    int tens; // -1 blank
    int units;
    bool pm;
    bool operator==(const DialHour&) const = default;
};
DialHour dialHour(int hour24);

std::string clockTimeText(const CivilTime& time);                  // "%02d:%02d:%02d"
std::string clockDateText(const CivilTime& time, DateOrder order); // "2007-03-02", "03-02-2007"

// The main window's clock and the playback clock differ in strips and places.
enum class ClockVariant { Main, Playback };

// Strip pictures: glyph i is the i-th cell of its strip, left to right. Main clock: date
// 7 × 11 (digits, 10 separator), time 13 × 18 (digits, 10 AM, 11 PM, 12 ':', 13 blank).
// Playback clock: date 7 × 9 (digits, 10 separator), time 7 × 9 (digits, 10 ':', 11 blank),
// AM/PM 18 × 9 (0 AM, 1 PM).
inline constexpr int kMainDateStrip = res::kClockDateGlyphs;
inline constexpr int kMainTimeStrip = res::kClockTimeGlyphs;
inline constexpr int kPlaybackDateStrip = res::kPlayClockDateGlyphs;
inline constexpr int kPlaybackTimeStrip = res::kPlayClockTimeGlyphs;
inline constexpr int kPlaybackHalfStrip = res::kPlayClockAmPmGlyphs;

struct GlyphPlacement {
    int pictureId;
    int glyph;
    // Top left in the main window, and the glyph's size (copied unscaled).
    int x;
    int y;
    int width;
    int height;
    bool operator==(const GlyphPlacement&) const = default;
};

std::vector<GlyphPlacement> clockGlyphs(ClockVariant variant, const CivilTime& time,
                                        DateOrder order);

} // namespace kalder
