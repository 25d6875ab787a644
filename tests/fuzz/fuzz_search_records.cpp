// A collected disk search reply of arbitrary bytes: the first byte picks the reply (month, day or
// event list), the rest is the reply. Every whole record is decoded, looked at as the search
// window does, and must come back unchanged from its own encoding.
#include "fuzz_input.h"
#include "wire/search_records.h"

#include <cstdlib>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    const std::span<const std::byte> reply = in.rest();
    switch (pick % 3) {
    case 0: {
        const auto years = decodeYearAvailabilities(reply);
        if (years.size() != reply.size() / kYearAvailabilitySize)
            std::abort();
        for (const YearAvailability& y : years) {
            // The edges: months out of range, February, December; days around the month's end.
            for (int month : {0, 2, 12, 13}) {
                const int days = daysInMonth(y.year, month);
                for (int day : {0, 1, 28, 29, 30, 31, 32})
                    if (y.dayRecorded(month, day) && (day < 1 || day > days))
                        std::abort();
            }
            if (decodeYearAvailability(encodeYearAvailability(y)) != y)
                std::abort();
        }
        break;
    }
    case 1:
        for (const DaySegment& s : decodeDaySegments(reply))
            if (decodeDaySegment(encodeDaySegment(s)) != s)
                std::abort();
        break;
    default:
        for (const EventEntry& e : decodeEventEntries(reply))
            if (decodeEventEntry(encodeEventEntry(e)) != e)
                std::abort();
        break;
    }
    return 0;
}
