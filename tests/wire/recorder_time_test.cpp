#include "wire/recorder_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

namespace kalder {
namespace {

// Runs the test body in a time zone and restores the process's zone afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old, m_hadOld = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (m_hadOld)
            ::setenv("TZ", m_old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string m_old;
    bool m_hadOld = false;
};

std::uint32_t wallClockSeconds(const CivilTime& t) {
    using namespace std::chrono;
    const sys_days day{year{t.year} / t.month / t.day};
    return static_cast<std::uint32_t>(day.time_since_epoch().count() * 86400 + t.hour * 3600 +
                                      t.minute * 60 + t.second);
}

TEST(RecorderTime, DecodesAndFormatsWithTheUtcRules) {
    EXPECT_EQ(formatRecorderTime(0), "1970-01-01 00:00:00");
    EXPECT_EQ(formatRecorderTime(951782400), "2000-02-29 00:00:00"); // leap day
    EXPECT_EQ(formatRecorderTime(0xFFFFFFFFu), "2106-02-07 06:28:15");
    EXPECT_EQ(decodeRecorderTime(2114380799), (CivilTime{2036, 12, 31, 23, 59, 59}));
}

TEST(RecorderTime, ParsesOnlyWholeExistingDates) {
    EXPECT_EQ(parseCivilTime("2024-02-29 23:59:58"), (CivilTime{2024, 2, 29, 23, 59, 58}));
    EXPECT_EQ(parseCivilTime("2024-03-01"), (CivilTime{2024, 3, 1, 0, 0, 0}));
    for (const char* bad :
         {"2023-02-29", "2024-13-01", "2024-01-01 24:00:00", "2024-1-01", "2024-01-01T00:00:00",
          "2024-01-01 00:00", " 2024-01-01", "", "2024-01-01 00:00:00x", "+024-01-01"})
        EXPECT_FALSE(parseCivilTime(bad)) << bad;
}

// In every zone, summer or winter, an operator's entry encodes as the wall-clock time entered.
TEST(RecorderTime, AnEntryEncodesAsTheWallClockItNames) {
    const CivilTime entries[] = {{2026, 1, 15, 12, 0, 0},
                                 {2026, 7, 1, 12, 30, 5},
                                 {2000, 2, 29, 0, 0, 0},
                                 {2037, 12, 31, 23, 59, 59}};
    const std::time_t summer = 1782907200; // 2026-07-01 12:00 UTC
    const std::time_t winter = 1768478400; // 2026-01-15 12:00 UTC
    for (const char* zone :
         {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "<+0930>-9:30"}) {
        ZoneScope scope(zone);
        for (const std::time_t start : {summer, winter}) {
            const int offset = standardTimeZoneOffsetSeconds(start);
            for (const CivilTime& e : entries)
                EXPECT_EQ(encodeOperatorTime(e, offset), wallClockSeconds(e))
                    << zone << " started at " << start << " entry " << e.month << "/" << e.day;
        }
    }
    ZoneScope scope("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(standardTimeZoneOffsetSeconds(summer), 3600);
    EXPECT_FALSE(encodeOperatorTime({1969, 12, 31, 0, 0, 0}, 3600)); // before 1970
}

} // namespace
} // namespace kalder
