// The simulator's recorded disk and the disk queries it answers.
#include "sim/media_source.h"
#include "sim/recorded_disk.h"
#include "sim/recorded_frames.h"
#include "sim/recorder_model.h"
#include "sim/search_service.h"

#include "wire/byte_reader.h"
#include "wire/message_catalogue.h"
#include "wire/recorder_time.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kalder::sim {
namespace {

// 2024-01-03 15:00:00: thirty days back reach into 2023.
constexpr std::uint32_t kEnd = 1704294000;

DiskLayout layout(std::uint64_t seed = 1, unsigned days = 30, unsigned channels = 16) {
    DiskLayout l;
    l.days = days;
    l.seed = seed;
    l.end = kEnd;
    l.channelCount = channels;
    return l;
}

TEST(RecordedDisk, SameSeedSameDiskOtherSeedOtherDisk) {
    const RecordedDisk a(layout(7)), b(layout(7)), c(layout(8));
    EXPECT_EQ(a.periods(), b.periods());
    EXPECT_EQ(a.events(), b.events());
    EXPECT_NE(a.periods(), c.periods());
}

TEST(RecordedDisk, PeriodsAreOrderedWithinOneDayAndWithinTheDisk) {
    const RecordedDisk disk(layout(3, 30, 8));
    ASSERT_FALSE(disk.empty());
    const std::uint32_t firstDay = kEnd - kEnd % 86400 - 29 * 86400;
    std::uint32_t previousEnd = 0;
    std::set<std::uint8_t> kinds;
    bool gap = false, adjoining = false, marks = false;
    for (const DiskPeriod& p : disk.periods()) {
        EXPECT_GE(p.start, firstDay);
        EXPECT_LE(p.end, kEnd);
        EXPECT_LE(p.start, p.end);
        EXPECT_EQ(p.start / 86400, p.end / 86400) << "crosses midnight";
        EXPECT_NE(p.channels, 0);
        EXPECT_EQ(p.channels & ~0xFF, 0) << "a channel the recorder lacks";
        EXPECT_EQ(p.motionContinuous & ~p.channels, 0);
        if (p.motionContinuous)
            marks = true;
        EXPECT_TRUE(previousEnd == 0 || p.start > previousEnd) << "overlap";
        if (previousEnd && p.start > previousEnd + 1)
            gap = true;
        if (previousEnd && p.start == previousEnd + 1)
            adjoining = true;
        previousEnd = p.end;
        for (unsigned k = 0; k < 6; ++k)
            if (p.kinds & (1u << k))
                kinds.insert(static_cast<std::uint8_t>(k));
    }
    EXPECT_EQ(kinds.size(), 6u) << "every recording kind";
    EXPECT_TRUE(gap);
    EXPECT_TRUE(adjoining);
    EXPECT_TRUE(marks);
}

TEST(RecordedDisk, CalendarDaysAndDaySegmentsAgree) {
    const RecordedDisk disk(layout());
    const auto years = disk.yearAvailability();
    ASSERT_EQ(years.size(), 2u);
    EXPECT_EQ(years[0].year, 2023);
    EXPECT_EQ(years[1].year, 2024);
    int recordedDays = 0, emptyDays = 0;
    for (const auto& y : years)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= daysInMonth(y.year, m); ++d) {
                const bool flagged = y.dayRecorded(m, d);
                EXPECT_EQ(flagged, !disk.daySegments(y.year, m, d).empty())
                    << y.year << "-" << m << "-" << d;
                if (flagged)
                    ++recordedDays;
                else if ((y.year == 2023 && m == 12 && d >= 5) || (y.year == 2024 && d <= 3))
                    ++emptyDays; // within the disk's thirty days
            }
    EXPECT_GT(recordedDays, 20);
    EXPECT_GT(emptyDays, 0) << "some days without any recording";
    EXPECT_TRUE(years[1].dayRecorded(1, 3)) << "today is always recorded";
    EXPECT_TRUE(disk.daySegments(2024, 2, 30).empty());
}

TEST(RecordedDisk, EventsLieWithinRecordingsOfTheirKind) {
    const RecordedDisk disk(layout(5));
    std::set<int> types;
    for (const EventEntry& e : disk.events()) {
        types.insert(e.type);
        const std::uint8_t kind = e.type == EventType::Alarm    ? RecordingKind::Alarm
                                  : e.type == EventType::Motion ? RecordingKind::Motion
                                                                : RecordingKind::Audio;
        ASSERT_NE(e.channels, 0u);
        EXPECT_LE(e.start, e.end);
        for (unsigned n = 0; n < 16; ++n) {
            if (!(e.channels & (1u << n)))
                continue;
            for (std::uint32_t t : {e.start, e.end}) {
                const auto moment = disk.recordedAt(n, t);
                ASSERT_TRUE(moment) << "event outside a recording, channel " << n;
                EXPECT_TRUE(moment->kinds & kind);
            }
        }
    }
    EXPECT_EQ(types, (std::set<int>{1, 2, 4}));
}

TEST(RecordedDisk, RecordedAtFollowsThePeriodsAndTheirChannels) {
    const RecordedDisk disk(layout(2, 30, 4));
    const DiskPeriod& p = disk.periods()[disk.periods().size() / 2];
    unsigned in = 0;
    while (!(p.channels & (1u << in)))
        ++in;
    const auto m = disk.recordedAt(in, p.start + (p.end - p.start) / 2);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kinds, p.kinds);
    EXPECT_EQ(m->periodStart, p.start);
    EXPECT_EQ(m->periodEnd, p.end);
    EXPECT_EQ(m->motionContinuous, (p.motionContinuous & (1u << in)) != 0);
    EXPECT_FALSE(disk.recordedAt(in, disk.firstTime() - 1));
    EXPECT_FALSE(disk.recordedAt(in, kEnd + 1));
    EXPECT_FALSE(disk.recordedAt(4, p.start)) << "channel beyond the recorder's four";
    EXPECT_EQ(disk.nextRecordedTime(in, p.start), p.start);
    EXPECT_FALSE(disk.nextRecordedTime(in, kEnd + 1));
}

// Reverse play finds the channel's previous recorded second with it: around every period's
// edges of the first days it agrees with asking second by second.
TEST(RecordedDisk, PreviousRecordedTimeAgreesWithRecordedAt) {
    const RecordedDisk disk(layout(5, 4, 4));
    const auto bySeconds = [&](unsigned channel,
                               std::uint32_t time) -> std::optional<std::uint32_t> {
        for (std::uint32_t t = time; t >= disk.firstTime(); --t)
            if (disk.recordedAt(channel, t))
                return t;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < disk.periods().size() && i < 12; ++i) {
        const DiskPeriod& p = disk.periods()[i];
        for (std::uint32_t time : {p.start - 1, p.start, p.start + 1, p.end, p.end + 1, p.end + 90})
            for (unsigned c = 0; c < 4; ++c)
                EXPECT_EQ(disk.previousRecordedTime(c, time), bySeconds(c, time))
                    << "channel " << c << " at " << time;
    }
    EXPECT_FALSE(disk.previousRecordedTime(0, disk.firstTime() - 1));
    EXPECT_FALSE(disk.previousRecordedTime(16, kEnd));
}

// The audio channel's frames carry its signal in 512-sample elements, each exactly once and in
// order; the count the backup size uses agrees with the frames; other channels carry none.
TEST(RecordedFrames, TheAudioChannelCarriesEveryElementOnce) {
    SimConfig config;
    config.channelCount = 4;
    config.audioChannel = 2;
    config.diskDays = 0;
    RecorderModel model(config);
    const MediaSource media; // no loops: 30 frames a second
    const RecordedFrames frames(model, media);
    for (const std::int64_t first : {std::int64_t(0), std::int64_t(1704294000) * 30 + 7}) {
        const std::int64_t last = first + 10 * 30 - 1;
        std::optional<std::uint64_t> previous;
        std::uint64_t carried = 0;
        for (std::int64_t n = first; n <= last; ++n) {
            EXPECT_FALSE(frames.audioElementAt(0, n));
            const auto sample = frames.audioElementAt(1, n);
            if (!sample)
                continue;
            ++carried;
            EXPECT_EQ(*sample % kAudioElementBytes, 0u);
            if (previous) {
                EXPECT_EQ(*sample, *previous + kAudioElementBytes) << "frame " << n;
            }
            previous = sample;
            // The element begins within the frame's time (to the millisecond).
            const std::uint64_t ms = *sample * 1000 / kAudioSampleRate;
            EXPECT_LE(std::uint64_t(frames.frameMs(1, n)), ms);
            EXPECT_LE(ms, std::uint64_t(frames.frameMs(1, n + 1)));
        }
        EXPECT_EQ(carried, frames.audioFrames(1, first, last));
        EXPECT_NEAR(double(carried), 10 * 8000.0 / 512, 1);
        EXPECT_EQ(frames.audioFrames(0, first, last), 0u);
    }
    ASSERT_TRUE(model.setAudioChannel(0));
    EXPECT_FALSE(frames.audioElementAt(1, 0));
    EXPECT_EQ(frames.audioFrames(1, 0, 300), 0u);
}

TEST(RecordedDisk, NoDaysIsAnEmptyDisk) {
    const RecordedDisk disk(layout(1, 0));
    EXPECT_TRUE(disk.empty());
    EXPECT_TRUE(disk.yearAvailability().empty());
    EXPECT_TRUE(disk.events().empty());
}

struct Sent {
    std::uint16_t id;
    std::vector<std::byte> payload;
    bool last;
};

std::vector<Sent> serve(SearchService& service, std::uint16_t id,
                        std::span<const std::byte> payload = {}) {
    std::vector<Sent> sent;
    EXPECT_TRUE(service.serve(id, payload, [&](std::uint16_t reply, auto bytes, bool last) {
        sent.push_back({reply, {bytes.begin(), bytes.end()}, last});
    }));
    return sent;
}

std::int32_t nackCode(const Sent& s) {
    ByteReader r(s.payload);
    return static_cast<std::int32_t>(r.readBe32());
}

TEST(SearchService, RepliesInFragmentsWithTheLastFlagged) {
    const RecordedDisk disk(layout());
    SearchService service(disk, 100);
    const auto month = serve(service, MessageId::PLAY_INFO_MONTH_REQ);
    ASSERT_EQ(month.size(), 8u); // 752 bytes in fragments of 100
    std::vector<std::byte> whole;
    for (std::size_t i = 0; i < month.size(); ++i) {
        EXPECT_EQ(month[i].id, MessageId::PLAY_INFO_MONTH_ACK);
        EXPECT_EQ(month[i].last, i + 1 == month.size());
        EXPECT_LE(month[i].payload.size(), 100u);
        whole.insert(whole.end(), month[i].payload.begin(), month[i].payload.end());
    }
    EXPECT_EQ(decodeYearAvailabilities(whole), disk.yearAvailability());

    const auto day = serve(service, MessageId::PLAY_INFO_DAY_REQ, encodeDayQuery(2024, 1, 3));
    whole.clear();
    for (const Sent& s : day)
        whole.insert(whole.end(), s.payload.begin(), s.payload.end());
    EXPECT_TRUE(day.back().last);
    EXPECT_EQ(decodeDaySegments(whole), disk.daySegments(2024, 1, 3));
    EXPECT_EQ(service.counters(), "month=1 day=1 event=0 cancel=0");
}

// The backup calendar's queries get the search replies under the backup ids.
TEST(SearchService, BackupQueriesAnswerAsTheSearchOnes) {
    const RecordedDisk disk(layout());
    SearchService service(disk, 100);
    const auto expectSame = [&](std::uint16_t searchId, std::uint16_t backupId,
                                std::uint16_t backupReply, std::span<const std::byte> payload) {
        const auto search = serve(service, searchId, payload);
        const auto backup = serve(service, backupId, payload);
        ASSERT_EQ(backup.size(), search.size());
        for (std::size_t i = 0; i < backup.size(); ++i) {
            EXPECT_EQ(backup[i].id, backupReply);
            EXPECT_EQ(backup[i].payload, search[i].payload);
            EXPECT_EQ(backup[i].last, search[i].last);
        }
    };
    expectSame(MessageId::PLAY_INFO_MONTH_REQ, MessageId::TRANS_INFO_MONTH_REQ,
               MessageId::TRANS_INFO_MONTH_ACK, {});
    expectSame(MessageId::PLAY_INFO_DAY_REQ, MessageId::TRANS_INFO_DAY_REQ,
               MessageId::TRANS_INFO_DAY_ACK, encodeDayQuery(2024, 1, 3));
    expectSame(MessageId::PLAY_INFO_DAY_REQ, MessageId::TRANS_INFO_DAY_REQ,
               MessageId::TRANS_INFO_DAY_NACK, encodeDayQuery(2020, 5, 5));
}

TEST(SearchService, NoDataFaultsAndCancel) {
    const RecordedDisk disk(layout());
    SearchService service(disk, 500);
    // A day without recordings: reply code 83.
    auto sent = serve(service, MessageId::PLAY_INFO_DAY_REQ, encodeDayQuery(2020, 5, 5));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].id, MessageId::PLAY_INFO_DAY_NACK);
    EXPECT_EQ(nackCode(sent[0]), 83);

    service.setFault(SearchQuery::Event, *parseSearchFault("53"));
    sent = serve(service, MessageId::EVENT_INFO_REQ);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].id, MessageId::EVENT_INFO_NACK);
    EXPECT_EQ(nackCode(sent[0]), 53);

    service.setFault(SearchQuery::Month, *parseSearchFault("empty"));
    sent = serve(service, MessageId::PLAY_INFO_MONTH_REQ);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].last);
    EXPECT_TRUE(sent[0].payload.empty());

    service.setFault(SearchQuery::Month, *parseSearchFault("oversize"));
    sent = serve(service, MessageId::PLAY_INFO_MONTH_REQ);
    std::size_t total = 0;
    for (const Sent& s : sent)
        total += s.payload.size();
    EXPECT_EQ(total, 2'400'024u);

    serve(service, MessageId::CAPA_CAL_CANCEL);
    EXPECT_EQ(service.counters(), "month=2 day=1 event=1 cancel=1");
    EXPECT_FALSE(service.serve(MessageId::LIVE_REQ, {}, [](auto, auto, bool) {}));
    EXPECT_FALSE(parseSearchFault("soon"));

    const RecordedDisk empty(layout(1, 0));
    SearchService none(empty, 500);
    sent = serve(none, MessageId::PLAY_INFO_MONTH_REQ);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(nackCode(sent[0]), 83);
}

} // namespace
} // namespace kalder::sim
