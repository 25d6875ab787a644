// The disk queries against a scripted recorder: fragments, refusals, oversized and empty replies.
#include "session_fixture.h"

#include "wire/search_records.h"

namespace kalder::test {
namespace {

class Search : public SessionFixture {
protected:
    void SetUp() override {
        SessionFixture::SetUp();
        ASSERT_TRUE(startSession());
        login();
        m_session->search().setWindowOpen(true);
    }
    // Sends `bytes` as `id` in fragments of `size`, the last one flagged.
    void sendInFragments(std::uint16_t id, std::span<const std::byte> bytes, std::size_t size) {
        std::size_t at = 0;
        do {
            const std::size_t n = std::min(size, bytes.size() - at);
            m_recorder.send(id, bytes.subspan(at, n), at + n == bytes.size() ? kFragmentLast : 0);
            at += n;
        } while (at < bytes.size());
    }
    void sendNack(std::uint16_t id, std::uint32_t code) {
        m_recorder.send(id, std::vector<std::byte>{std::byte(code >> 24), std::byte(code >> 16),
                                                   std::byte(code >> 8), std::byte(code)});
    }
};

std::vector<std::byte> segmentsBytes(const std::vector<DaySegment>& segments) {
    std::vector<std::byte> out;
    for (const DaySegment& s : segments) {
        const auto b = encodeDaySegment(s);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

TEST_F(Search, DayReplyIsDecodedOnlyAtTheLastFragment) {
    m_session->search().requestDaySegments(2024, 2, 29);
    const auto request = m_recorder.readUntil(MessageId::PLAY_INFO_DAY_REQ);
    ASSERT_TRUE(request);
    const auto query = encodeDayQuery(2024, 2, 29);
    EXPECT_EQ(request->payload, (std::vector<std::byte>(query.begin(), query.end())));

    std::vector<DaySegment> segments;
    for (std::uint32_t k = 0; k < 5; ++k)
        segments.push_back({static_cast<std::uint16_t>(1u << k), 0, 1, 1000 * k, 1000 * k + 99});
    auto bytes = segmentsBytes(segments);
    bytes.resize(bytes.size() + 10); // an incomplete tail is dropped
    // Fragments of 50 bytes: records straddle them. Nothing is ready before the last.
    m_recorder.send(MessageId::PLAY_INFO_DAY_ACK, std::span(bytes).first(50));
    sync();
    EXPECT_FALSE(m_events.has(WindowMessage::SearchDaySegmentsReady));
    sendInFragments(MessageId::PLAY_INFO_DAY_ACK, std::span(bytes).subspan(50), 50);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::SearchDaySegmentsReady); }));
    EXPECT_EQ(m_events.last(WindowMessage::SearchDaySegmentsReady)->wParam,
              std::uintptr_t(SearchReplyResult::Records));
    EXPECT_EQ(m_session->search().daySegments(), segments);
}

TEST_F(Search, WithoutTheWindowAReplyIsReadAndDropped) {
    m_session->search().setWindowOpen(false);
    const auto year = encodeYearAvailability(YearAvailability{2024, {}});
    m_recorder.send(MessageId::PLAY_INFO_MONTH_ACK, year, kFragmentLast);
    sync(); // the connection still reads message by message
    EXPECT_FALSE(m_events.has(WindowMessage::SearchYearsReady));
    EXPECT_TRUE(m_session->search().years().empty());
}

// A reply larger than the 2,400,000-byte buffer is refused whole; the next one is read afresh.
TEST_F(Search, OversizedReplyIsRefusedWholeAndTheNextOneWorks) {
    m_session->search().requestEvents();
    const std::vector<std::byte> big(2'400'000 + 24, std::byte{0x01});
    sendInFragments(MessageId::EVENT_INFO_ACK, big, 65535);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::SearchEventsReady); }));
    EXPECT_EQ(m_events.last(WindowMessage::SearchEventsReady)->wParam,
              std::uintptr_t(SearchReplyResult::Oversized));
    EXPECT_TRUE(m_session->search().events().empty());
    EXPECT_TRUE(m_session->receiving());

    m_session->search().requestEvents();
    const auto e = encodeEventEntry({3, EventType::Motion, 10, 20});
    m_recorder.send(MessageId::EVENT_INFO_ACK, e, kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return m_events.count(WindowMessage::SearchEventsReady) == 2; }));
    EXPECT_EQ(m_events.last(WindowMessage::SearchEventsReady)->wParam,
              std::uintptr_t(SearchReplyResult::Records));
    ASSERT_EQ(m_session->search().events().size(), 1u);
    EXPECT_EQ(m_session->search().events()[0].type, EventType::Motion);
}

// An acknowledgement without any record still ends the request: the result is empty.
TEST_F(Search, EmptyAcknowledgementEndsTheRequest) {
    m_session->search().requestYears();
    m_recorder.send(MessageId::PLAY_INFO_MONTH_ACK, {}, kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::SearchYearsReady); }));
    EXPECT_EQ(m_events.last(WindowMessage::SearchYearsReady)->wParam,
              std::uintptr_t(SearchReplyResult::Records));
    EXPECT_TRUE(m_session->search().years().empty());
}

struct RefusalCase {
    std::uint16_t nack;
    int readyMessage;
    std::uint32_t code;
    std::optional<Notification> notification;
    SearchReplyResult result;
};

class SearchRefusal : public Search, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SearchRefusal, NotifiesPerTheTableAndEndsTheRequest) {
    const RefusalCase c = GetParam();
    sendNack(c.nack, c.code);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(c.readyMessage); }));
    pumpEvents();
    const auto ready = m_events.last(c.readyMessage);
    EXPECT_EQ(ready->wParam, std::uintptr_t(c.result));
    EXPECT_EQ(ready->lParam, std::intptr_t(c.code));
    const auto notes = m_events.notifications();
    if (c.notification) {
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0], *c.notification);
    } else {
        EXPECT_TRUE(notes.empty());
    }
}

const int kYears = WindowMessage::SearchYearsReady;
const int kDay = WindowMessage::SearchDaySegmentsReady;
const int kEvents = WindowMessage::SearchEventsReady;
const int kBackupYears = WindowMessage::BackupYearsReady;
const int kBackupDay = WindowMessage::BackupDaySegmentsReady;
const SearchReplyResult kRefused = SearchReplyResult::Refused;

INSTANTIATE_TEST_SUITE_P(
    Table, SearchRefusal,
    ::testing::Values(
        RefusalCase{MessageId::PLAY_INFO_MONTH_NACK, kYears, 1, Notification{6, 0}, kRefused},
        RefusalCase{MessageId::PLAY_INFO_MONTH_NACK, kYears, 53, Notification{6, 4}, kRefused},
        RefusalCase{MessageId::PLAY_INFO_MONTH_NACK, kYears, 83, std::nullopt,
                    SearchReplyResult::Records},
        RefusalCase{MessageId::PLAY_INFO_MONTH_NACK, kYears, 86, Notification{6, 3}, kRefused},
        RefusalCase{MessageId::PLAY_INFO_MONTH_NACK, kYears, 98, Notification{6, 6}, kRefused},
        RefusalCase{MessageId::PLAY_INFO_MONTH_NACK, kYears, 7, std::nullopt, kRefused},
        RefusalCase{MessageId::PLAY_INFO_DAY_NACK, kDay, 83, Notification{4, 0}, kRefused},
        RefusalCase{MessageId::PLAY_INFO_DAY_NACK, kDay, 86, std::nullopt, kRefused},
        RefusalCase{MessageId::PLAY_INFO_DAY_NACK, kDay, 98, Notification{6, 6}, kRefused},
        RefusalCase{MessageId::EVENT_INFO_NACK, kEvents, 1, Notification{6, 0}, kRefused},
        RefusalCase{MessageId::EVENT_INFO_NACK, kEvents, 83, Notification{4, 0}, kRefused},
        RefusalCase{MessageId::EVENT_INFO_NACK, kEvents, 86, std::nullopt, kRefused},
        RefusalCase{MessageId::TRANS_INFO_MONTH_NACK, kBackupYears, 53, Notification{6, 4},
                    kRefused},
        RefusalCase{MessageId::TRANS_INFO_MONTH_NACK, kBackupYears, 83, std::nullopt,
                    SearchReplyResult::Records},
        RefusalCase{MessageId::TRANS_INFO_DAY_NACK, kBackupDay, 83, Notification{4, 0}, kRefused},
        RefusalCase{MessageId::TRANS_INFO_DAY_NACK, kBackupDay, 86, Notification{6, 3}, kRefused}));

// The backup calendar's replies come under their own ready messages, are taken once by the
// window, and leave the search's records (and so its resume context) alone.
TEST_F(Search, BackupRepliesAreTakenOnceAndLeaveTheSearchRecords) {
    m_session->search().requestYears();
    m_recorder.send(MessageId::PLAY_INFO_MONTH_ACK,
                    encodeYearAvailability(YearAvailability{2023, {}}), kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(kYears); }));

    m_session->search().requestBackupYears();
    ASSERT_TRUE(m_recorder.readUntil(MessageId::TRANS_INFO_MONTH_REQ));
    const auto year = encodeYearAvailability(YearAvailability{2024, {}});
    m_recorder.send(MessageId::TRANS_INFO_MONTH_ACK, std::span(year).first(100));
    m_recorder.send(MessageId::TRANS_INFO_MONTH_ACK, std::span(year).subspan(100), kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(kBackupYears); }));
    EXPECT_EQ(m_events.count(kYears), 1u);
    const auto backupYears = m_session->search().takeBackupYears();
    ASSERT_EQ(backupYears.size(), 1u);
    EXPECT_EQ(backupYears[0].year, 2024);
    EXPECT_TRUE(m_session->search().takeBackupYears().empty());
    ASSERT_EQ(m_session->search().years().size(), 1u);
    EXPECT_EQ(m_session->search().years()[0].year, 2023);

    m_session->search().requestBackupDaySegments(2024, 1, 3);
    const auto request = m_recorder.readUntil(MessageId::TRANS_INFO_DAY_REQ);
    ASSERT_TRUE(request);
    const auto query = encodeDayQuery(2024, 1, 3);
    EXPECT_EQ(request->payload, (std::vector<std::byte>(query.begin(), query.end())));
    const std::vector<DaySegment> segments{{0x3, 0, 1, 100, 200}};
    m_recorder.send(MessageId::TRANS_INFO_DAY_ACK, segmentsBytes(segments), kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(kBackupDay); }));
    EXPECT_FALSE(m_events.has(kDay));
    EXPECT_EQ(m_session->search().takeBackupDaySegments(), segments);
    EXPECT_TRUE(m_session->search().daySegments().empty());
}

// A refused event query leaves the event list empty, even after an earlier list.
TEST_F(Search, RefusedEventQueryEmptiesTheList) {
    m_session->search().requestEvents();
    m_recorder.send(MessageId::EVENT_INFO_ACK, encodeEventEntry({1, EventType::Alarm, 1, 2}),
                    kFragmentLast);
    ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::SearchEventsReady); }));
    ASSERT_EQ(m_session->search().events().size(), 1u);
    m_session->search().requestEvents();
    sendNack(MessageId::EVENT_INFO_NACK, 98);
    ASSERT_TRUE(waitUntil([&] { return m_events.count(WindowMessage::SearchEventsReady) == 2; }));
    EXPECT_TRUE(m_session->search().events().empty());
}

} // namespace
} // namespace kalder::test
