#pragma once

#include "sim/recorded_disk.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace kalder::sim {

// The three disk queries a client can make.
enum class SearchQuery : std::uint8_t { Month = 0, Day = 1, Event = 2 };
inline constexpr std::size_t kSearchQueryCount = 3;

// How the recorder answers a query instead of with its records (admin knob "search-fault").
struct SearchFault {
    enum class Kind : std::uint8_t {
        None,     // the records, or reply code 83 when there are none
        Refuse,   // the negative reply with `code` (83 no data, 53, 98, 1, ...)
        Empty,    // an acknowledgement that carries no record at all
        Oversize, // an acknowledgement larger than any client's reply buffer (2,400,024 bytes)
    };
    Kind kind = Kind::None;
    std::int32_t code = 0;
};

// Answers the disk queries from the recorded disk: PLAY_INFO_MONTH_REQ (one YearAvailability per
// year), PLAY_INFO_DAY_REQ (the DaySegments of the day), EVENT_INFO_REQ (every EventEntry), each
// split into fragments of at most `fragmentBytes` payload bytes with bit 14 on the last;
// CAPA_CAL_CANCEL is counted. TRANS_INFO_MONTH_REQ and TRANS_INFO_DAY_REQ (the backup calendar)
// are answered as the month and day queries under the backup replies' ids. Shared by every
// connection: faults and counters are guarded by a mutex; the disk is read-only.
class SearchService {
public:
    // Sends one reply message: its id, payload and whether it is the last fragment.
    using Sender =
        std::function<void(std::uint16_t id, std::span<const std::byte> payload, bool last)>;

    SearchService(const RecordedDisk& disk, std::size_t fragmentBytes);

    // Answers message `id` when it is one of the queries (true), else does nothing (false).
    bool serve(std::uint16_t id, std::span<const std::byte> payload, const Sender& send);

    void setFault(SearchQuery query, SearchFault fault);
    SearchFault fault(SearchQuery query) const;
    // "month=N day=N event=N cancel=N": the queries answered so far.
    std::string counters() const;

private:
    void sendRecords(std::uint16_t ackId, std::span<const std::byte> records,
                     const Sender& send) const;

    const RecordedDisk& m_disk;
    const std::size_t m_fragmentBytes;

    mutable std::mutex m_mutex; // guards the fields below
    std::array<SearchFault, kSearchQueryCount> m_faults{};
    std::array<unsigned, kSearchQueryCount> m_requests{};
    unsigned m_cancels = 0;
};

// Reads "month|day|event|all" and "off|empty|oversize|CODE" into their knob; nothing on error.
std::optional<SearchQuery> parseSearchQuery(const std::string& text);
std::optional<SearchFault> parseSearchFault(const std::string& text);

} // namespace kalder::sim
