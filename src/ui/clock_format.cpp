#include "ui/clock_format.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace kalder {

namespace {

struct Strip {
    int id;
    int width;
    int height;
};

constexpr Strip kMainTime{kMainTimeStrip, 13, 18};
constexpr Strip kMainDate{kMainDateStrip, 7, 11};
constexpr Strip kPlaybackTime{kPlaybackTimeStrip, 7, 9};
constexpr Strip kPlaybackDate{kPlaybackDateStrip, 7, 9};
constexpr Strip kPlaybackHalf{kPlaybackHalfStrip, 18, 9};

constexpr int kDateSeparatorGlyph = 10;

GlyphPlacement place(const Strip& strip, int glyph, int x, int y) {
    return {strip.id, glyph, x, y, strip.width, strip.height};
}

// Glyphs of the date's characters in display order: digits and separators.
std::array<int, 10> dateGlyphs(const CivilTime& time, DateOrder order) {
    const std::string text = clockDateText(time, order);
    std::array<int, 10> glyphs{};
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        const char c = i < text.size() ? text[i] : '-';
        glyphs[i] = c >= '0' && c <= '9' ? c - '0' : kDateSeparatorGlyph;
    }
    return glyphs;
}

void appendMainClock(std::vector<GlyphPlacement>& out, const CivilTime& time, DateOrder order) {
    constexpr int timeY = 643;
    constexpr int blank = 13;
    constexpr int separator = 12;
    const DialHour hour = dialHour(time.hour);
    out.push_back(place(kMainTime, hour.pm ? 11 : 10, 66, timeY));
    out.push_back(place(kMainTime, hour.tens < 0 ? blank : hour.tens, 79, timeY));
    out.push_back(place(kMainTime, hour.units, 92, timeY));
    out.push_back(place(kMainTime, separator, 105, timeY));
    out.push_back(place(kMainTime, time.minute / 10, 118, timeY));
    out.push_back(place(kMainTime, time.minute % 10, 131, timeY));
    out.push_back(place(kMainTime, separator, 144, timeY));
    out.push_back(place(kMainTime, time.second / 10, 157, timeY));
    out.push_back(place(kMainTime, time.second % 10, 170, timeY));

    const std::array<int, 10> date = dateGlyphs(time, order);
    for (std::size_t i = 0; i < date.size(); ++i)
        out.push_back(place(kMainDate, date[i], 111 + 7 * static_cast<int>(i), 663));
}

void appendPlaybackClock(std::vector<GlyphPlacement>& out, const CivilTime& time, DateOrder order) {
    constexpr int y = 632;
    constexpr int blank = 11;
    constexpr int separator = 10;
    const DialHour hour = dialHour(time.hour);
    out.push_back(place(kPlaybackHalf, hour.pm ? 1 : 0, 518, y));
    out.push_back(place(kPlaybackTime, hour.tens < 0 ? blank : hour.tens, 538, y));
    out.push_back(place(kPlaybackTime, hour.units, 545, y));
    out.push_back(place(kPlaybackTime, separator, 551, y));
    out.push_back(place(kPlaybackTime, time.minute / 10, 557, y));
    out.push_back(place(kPlaybackTime, time.minute % 10, 564, y));
    out.push_back(place(kPlaybackTime, separator, 570, y));
    out.push_back(place(kPlaybackTime, time.second / 10, 576, y));
    out.push_back(place(kPlaybackTime, time.second % 10, 583, y));

    // Places of the ten date characters, year first or year last; a separator takes 6 pixels.
    static constexpr std::array<int, 10> kYearFirstX = {600, 607, 614, 621, 627,
                                                        633, 640, 646, 652, 659};
    static constexpr std::array<int, 10> kYearLastX = {600, 607, 613, 619, 626,
                                                       632, 638, 645, 652, 659};
    const std::array<int, 10>& xs = order == DateOrder::YearFirst ? kYearFirstX : kYearLastX;
    const std::array<int, 10> date = dateGlyphs(time, order);
    for (std::size_t i = 0; i < date.size(); ++i)
        out.push_back(place(kPlaybackDate, date[i], xs[i], y));
}

} // namespace

CivilTime civilFromSeconds(std::int64_t seconds) {
    using namespace std::chrono;
    if (seconds < 0)
        seconds = 0;
    const sys_seconds moment{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss<std::chrono::seconds> clock{moment - day};
    CivilTime time;
    time.year = static_cast<int>(date.year());
    time.month = static_cast<int>(static_cast<unsigned>(date.month()));
    time.day = static_cast<int>(static_cast<unsigned>(date.day()));
    time.hour = static_cast<int>(clock.hours().count());
    time.minute = static_cast<int>(clock.minutes().count());
    time.second = static_cast<int>(clock.seconds().count());
    return time;
}

DateOrder dateOrderFromSetting(int dateFormat) {
    if (dateFormat == 1)
        return DateOrder::MonthFirst;
    if (dateFormat == 2)
        return DateOrder::DayFirst;
    return DateOrder::YearFirst;
}

DialHour dialHour(int hour24) {
    const int hour = ((hour24 % 24) + 24) % 24;
    const bool pm = hour >= 12;
    int dial = hour % 12;
    if (dial == 0)
        dial = 12;
    return {dial >= 10 ? dial / 10 : -1, dial % 10, pm};
}

std::string clockTimeText(const CivilTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

std::string clockDateText(const CivilTime& time, DateOrder order) {
    char text[48];
    switch (order) {
    case DateOrder::MonthFirst:
        std::snprintf(text, sizeof text, "%02d-%02d-%04d", time.month, time.day, time.year);
        break;
    case DateOrder::DayFirst:
        std::snprintf(text, sizeof text, "%02d-%02d-%04d", time.day, time.month, time.year);
        break;
    case DateOrder::YearFirst:
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", time.year, time.month, time.day);
        break;
    }
    return text;
}

std::vector<GlyphPlacement> clockGlyphs(ClockVariant variant, const CivilTime& time,
                                        DateOrder order) {
    std::vector<GlyphPlacement> glyphs;
    glyphs.reserve(20);
    if (variant == ClockVariant::Main)
        appendMainClock(glyphs, time, order);
    else
        appendPlaybackClock(glyphs, time, order);
    return glyphs;
}

} // namespace kalder
