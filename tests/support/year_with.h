#pragma once

// A year of the recorder's calendar with the given days recorded, for the search rules' tests.

#include "wire/search_records.h"

#include <initializer_list>
#include <utility>

namespace kalder::test {

// `year` with each {month, day} of `days` flagged as recorded.
inline YearAvailability yearWith(int year, std::initializer_list<std::pair<int, int>> days) {
    YearAvailability y;
    y.year = year;
    for (auto [m, d] : days)
        y.setDay(m, d, true);
    return y;
}

} // namespace kalder::test
