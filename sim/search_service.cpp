#include "sim/search_service.h"

#include "wire/byte_writer.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"

#include <charconv>
#include <vector>

namespace kalder::sim {

namespace {

// One record more than a client's 2,400,000-byte reply buffer holds.
constexpr std::size_t kOversizeBytes = 2'400'000 + 24;

struct QueryIds {
    std::uint16_t ack;
    std::uint16_t nack;
};

QueryIds idsOf(SearchQuery query) {
    switch (query) {
    case SearchQuery::Month:
        return {MessageId::PLAY_INFO_MONTH_ACK, MessageId::PLAY_INFO_MONTH_NACK};
    case SearchQuery::Day:
        return {MessageId::PLAY_INFO_DAY_ACK, MessageId::PLAY_INFO_DAY_NACK};
    case SearchQuery::Event:
        break;
    }
    return {MessageId::EVENT_INFO_ACK, MessageId::EVENT_INFO_NACK};
}

template <typename Record, typename Encode>
std::vector<std::byte> concatenate(const std::vector<Record>& records, Encode encode) {
    std::vector<std::byte> out;
    for (const Record& r : records) {
        const auto bytes = encode(r);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

} // namespace

SearchService::SearchService(const RecordedDisk& disk, std::size_t fragmentBytes)
    : m_disk(disk),
      m_fragmentBytes(fragmentBytes == 0 || fragmentBytes > kMaxPayloadLength ? kMaxPayloadLength
                                                                              : fragmentBytes) {}

bool SearchService::serve(std::uint16_t id, std::span<const std::byte> payload,
                          const Sender& send) {
    SearchQuery query;
    switch (id) {
    case MessageId::PLAY_INFO_MONTH_REQ:
        query = SearchQuery::Month;
        break;
    case MessageId::PLAY_INFO_DAY_REQ:
        query = SearchQuery::Day;
        break;
    // The backup calendar asks the same questions under its own ids.
    case MessageId::TRANS_INFO_MONTH_REQ:
        query = SearchQuery::Month;
        break;
    case MessageId::TRANS_INFO_DAY_REQ:
        query = SearchQuery::Day;
        break;
    case MessageId::EVENT_INFO_REQ:
        query = SearchQuery::Event;
        break;
    case MessageId::CAPA_CAL_CANCEL: {
        std::lock_guard lock(m_mutex);
        ++m_cancels;
        return true;
    }
    default:
        return false;
    }
    SearchFault fault;
    {
        std::lock_guard lock(m_mutex);
        ++m_requests[static_cast<std::size_t>(query)];
        fault = m_faults[static_cast<std::size_t>(query)];
    }
    QueryIds ids = idsOf(query);
    if (id == MessageId::TRANS_INFO_MONTH_REQ)
        ids = {MessageId::TRANS_INFO_MONTH_ACK, MessageId::TRANS_INFO_MONTH_NACK};
    else if (id == MessageId::TRANS_INFO_DAY_REQ)
        ids = {MessageId::TRANS_INFO_DAY_ACK, MessageId::TRANS_INFO_DAY_NACK};
    auto refuse = [&](std::int32_t code) {
        std::array<std::byte, 4> word{};
        ByteWriter w(word);
        w.writeBe32(static_cast<std::uint32_t>(code));
        send(ids.nack, word, false);
    };
    switch (fault.kind) {
    case SearchFault::Kind::Refuse:
        refuse(fault.code);
        return true;
    case SearchFault::Kind::Empty:
        send(ids.ack, {}, true);
        return true;
    case SearchFault::Kind::Oversize: {
        const std::vector<std::byte> junk(kOversizeBytes, std::byte{0x11});
        sendRecords(ids.ack, junk, send);
        return true;
    }
    case SearchFault::Kind::None:
        break;
    }

    std::vector<std::byte> records;
    if (query == SearchQuery::Month) {
        records = concatenate(m_disk.yearAvailability(), encodeYearAvailability);
    } else if (query == SearchQuery::Day) {
        const auto day = decodeDayQuery(payload);
        if (!day) {
            refuse(1);
            return true;
        }
        records =
            concatenate(m_disk.daySegments(day->year, day->month, day->day), encodeDaySegment);
    } else {
        records = concatenate(m_disk.events(), encodeEventEntry);
    }
    if (records.empty())
        refuse(83); // no data
    else
        sendRecords(ids.ack, records, send);
    return true;
}

void SearchService::sendRecords(std::uint16_t ackId, std::span<const std::byte> records,
                                const Sender& send) const {
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(m_fragmentBytes, records.size() - at);
        send(ackId, records.subspan(at, n), at + n == records.size());
        at += n;
    } while (at < records.size());
}

void SearchService::setFault(SearchQuery query, SearchFault fault) {
    std::lock_guard lock(m_mutex);
    m_faults[static_cast<std::size_t>(query)] = fault;
}

SearchFault SearchService::fault(SearchQuery query) const {
    std::lock_guard lock(m_mutex);
    return m_faults[static_cast<std::size_t>(query)];
}

std::string SearchService::counters() const {
    std::lock_guard lock(m_mutex);
    return "month=" + std::to_string(m_requests[0]) + " day=" + std::to_string(m_requests[1]) +
           " event=" + std::to_string(m_requests[2]) + " cancel=" + std::to_string(m_cancels);
}

std::optional<SearchQuery> parseSearchQuery(const std::string& text) {
    if (text == "month")
        return SearchQuery::Month;
    if (text == "day")
        return SearchQuery::Day;
    if (text == "event" || text == "events")
        return SearchQuery::Event;
    return std::nullopt;
}

std::optional<SearchFault> parseSearchFault(const std::string& text) {
    if (text == "off" || text == "none")
        return SearchFault{};
    if (text == "empty")
        return SearchFault{SearchFault::Kind::Empty, 0};
    if (text == "oversize")
        return SearchFault{SearchFault::Kind::Oversize, 0};
    std::int32_t code = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), code);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return SearchFault{SearchFault::Kind::Refuse, code};
}

} // namespace kalder::sim
