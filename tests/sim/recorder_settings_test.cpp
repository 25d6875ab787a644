// The recorder's time and PTZ settings as the simulator acts on them: the clock a client reads
// follows an accepted zone, DST rule and NTP switch; PTZ commands get through only while the
// recorder's PTZ setup matches the camera's.
#include "sim/config_store.h"
#include "sim/device_commands.h"
#include "sim/recorder_clock.h"
#include "sim/recorder_model.h"

#include "wire/message_catalogue.h"
#include "wire/ptz_records.h"
#include "wire/recorder_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace kalder::sim {
namespace {

std::int64_t at(int y, int mo, int d, int h, int mi) {
    return encodeCivilTime({y, mo, d, h, mi, 0});
}

TEST(SimRecorderClock, ZonesWeekdaysAndDaylightSaving) {
    struct ZoneCase {
        unsigned zone;
        std::optional<int> seconds;
    };
    for (const ZoneCase& c : std::initializer_list<ZoneCase>{{0, std::nullopt},
                                                             {1, 0},
                                                             {10, 9 * 3600},
                                                             {13, 12 * 3600},
                                                             {14, -11 * 3600},
                                                             {23, -2 * 3600},
                                                             {24, 9 * 3600 + 1800},
                                                             {25, std::nullopt}})
        EXPECT_EQ(zoneOffsetSeconds(c.zone), c.seconds) << c.zone;

    // Last Sunday of October 2024, second Sunday of March 2024, a fifth-week Friday in a month
    // that has five, and the first Monday of a month that starts on one.
    EXPECT_EQ(weekdayInMonth(2024, 9, 4, 6), 27u);
    EXPECT_EQ(weekdayInMonth(2024, 2, 1, 6), 10u);
    EXPECT_EQ(weekdayInMonth(2024, 2, 4, 4), 29u);
    EXPECT_EQ(weekdayInMonth(2024, 6, 0, 0), 1u);

    const auto table = buildDstTable();
    std::array<std::uint8_t, 17> europe{};
    europe[0] = 3; // regional rule 1: last Sunday of March 01:00 .. last Sunday of October 01:00
    europe[14] = 1;
    EXPECT_FALSE(inDaylightSaving(at(2024, 3, 31, 0, 59), europe, table));
    EXPECT_TRUE(inDaylightSaving(at(2024, 3, 31, 1, 0), europe, table));
    EXPECT_TRUE(inDaylightSaving(at(2024, 10, 27, 0, 59), europe, table));
    EXPECT_FALSE(inDaylightSaving(at(2024, 10, 27, 1, 0), europe, table));
    // Southern rule (end month before start month): first Sunday of October .. of April.
    std::array<std::uint8_t, 17> south{};
    south[0] = 4;
    EXPECT_TRUE(inDaylightSaving(at(2024, 1, 15, 12, 0), south, table));
    EXPECT_FALSE(inDaylightSaving(at(2024, 6, 15, 12, 0), south, table));
    EXPECT_TRUE(inDaylightSaving(at(2024, 12, 15, 12, 0), south, table));
    // The own rule by its dates: 5 May 02:30 .. 20 September 03:00.
    std::array<std::uint8_t, 17> own{};
    own[0] = 1;
    own[2] = 4, own[5] = 4, own[6] = 2, own[7] = 30;
    own[8] = 8, own[11] = 19, own[12] = 3;
    EXPECT_FALSE(inDaylightSaving(at(2025, 5, 5, 2, 29), own, table));
    EXPECT_TRUE(inDaylightSaving(at(2025, 5, 5, 2, 30), own, table));
    EXPECT_FALSE(inDaylightSaving(at(2025, 9, 20, 3, 0), own, table));
    // A regional mode past the table's rules is no daylight saving.
    std::array<std::uint8_t, 17> missing{};
    missing[0] = 60;
    EXPECT_FALSE(inDaylightSaving(at(2024, 7, 1, 0, 0), missing, table));

    // Zone 10 (+9) in July under the European rule with a shift of 1:30.
    ClockSettings s;
    s.timeZone = 10;
    s.dst = europe;
    s.dst[15] = 30;
    const std::int64_t july = at(2024, 7, 1, 12, 0);
    EXPECT_EQ(recorderSecondsAt(july, s, table), july + 9 * 3600 + 5400);
    EXPECT_EQ(recorderSecondsAt(at(2024, 1, 1, 12, 0), s, table), at(2024, 1, 1, 21, 0));
    s.timeZone = 0;
    EXPECT_EQ(recorderSecondsAt(july, s, table), std::nullopt);
}

std::int64_t utcNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Sends the model's own record back with `edit` applied, as a client's OK does.
void update(RecorderModel& model, const std::function<void(ConfigRecord&)>& edit) {
    auto record = ConfigRecord::fromTransfer(model.configStore().transferPayload(model));
    ASSERT_TRUE(record);
    edit(*record);
    ASSERT_EQ(model.configStore().applyUpdate(record->seal(), model, [](std::int32_t) {}), 0);
}

TEST(SimRecorderClock, AcceptedTimeSettingsMoveTheClockClientsRead) {
    SimConfig config = defaultConfig();
    config.channelCount = 4;
    RecorderModel model(config);
    // An update that leaves the time settings alone keeps the host's clock and the hand-set
    // offset.
    model.setClockOffset(-7200);
    const std::int64_t hostClock = model.recorderTime();
    update(model, [](ConfigRecord&) {});
    EXPECT_LE(std::llabs(std::int64_t(model.recorderTime()) - hostClock), 2);

    // Zone 18 (-7 h), NTP off: UTC - 7 h, the offset still counts.
    update(model, [](ConfigRecord& r) {
        r.setValue(configField("time_zone"), 0, 18);
        r.setValue(configField("ntp_enable"), 0, 0);
    });
    EXPECT_LE(std::llabs(std::int64_t(model.recorderTime()) - (utcNow() - 7 * 3600 - 7200)), 2);
    // NTP on again: synchronised, the hand-set offset is gone.
    update(model, [](ConfigRecord& r) { r.setValue(configField("ntp_enable"), 0, 1); });
    EXPECT_LE(std::llabs(std::int64_t(model.recorderTime()) - (utcNow() - 7 * 3600)), 2);
    // An own DST rule that covers the whole year with a 2-hour shift.
    update(model, [](ConfigRecord& r) {
        const ConfigField& dst = configField("dst");
        r.setValue(dst, 0, 1);
        r.setValue(dst, 1, 1);
        r.setValue(dst, 2, 0), r.setValue(dst, 5, 0);    // 1 January 00:00
        r.setValue(dst, 8, 11), r.setValue(dst, 11, 30); // 31 December 23:59
        r.setValue(dst, 12, 23), r.setValue(dst, 13, 59);
        r.setValue(dst, 14, 2);
    });
    const std::int64_t standard = utcNow() - 7 * 3600;
    const std::int64_t expected = standard + 2 * 3600;
    // (The rule's last minute of the year is outside it.)
    const CivilTime civil = decodeRecorderTime(static_cast<std::uint32_t>(standard));
    if (!(civil.month == 12 && civil.day == 31 && civil.hour == 23 && civil.minute == 59)) {
        EXPECT_LE(std::llabs(std::int64_t(model.recorderTime()) - expected), 2);
    }
    // The frames' times follow the same clock.
    std::uint32_t seconds = 0;
    std::uint16_t ms = 0;
    model.recorderClock(seconds, ms);
    EXPECT_LE(std::llabs(std::int64_t(seconds) - std::int64_t(model.recorderTime())), 1);

    // The factory reset brings back the host's clock.
    model.configStore().reset(model);
    EXPECT_LE(std::llabs(std::int64_t(model.recorderTime()) - hostClock - 7200), 2);
}

TEST(SimPtzSettings, CommandsGetThroughOnlyWhileTheSetupMatchesTheCamera) {
    struct Case {
        PtzLink recorder;
        std::optional<std::string> why;
    };
    const PtzLink camera{3, 1, 2};
    for (const Case& c : std::initializer_list<Case>{{{3, 1, 2}, std::nullopt},
                                                     {{0, 1, 2}, "ptz off"},
                                                     {{4, 1, 2}, "address 4, camera 3"},
                                                     {{3, 2, 2}, "protocol 2, camera 1"},
                                                     {{4, 2, 0}, "baud 0, camera 2"}})
        EXPECT_EQ(ptzLinkMismatch(c.recorder, camera), c.why);

    SimConfig config = defaultConfig();
    config.channelCount = 4;
    RecorderModel model(config);
    DeviceRequests requests(model.device(), model);
    const DeviceRequests::Replies replies{[](std::uint16_t, std::span<const std::byte>) {}, [] {}};
    auto move = [&](unsigned channel) {
        requests.handle(0, makeHeader(MessageId::PTZ_CHANNEL_REQ, 4),
                        encodePtzChannelRequest({std::uint8_t(channel), PtzMode::PanTilt}),
                        replies);
        requests.handle(0, makeHeader(MessageId::PTZ_MOVE_REQ, 4), encodePtzCommand({2, 0}),
                        replies);
        const auto log = model.device().logLines();
        return log[log.size() - 2] + " / " + log.back();
    };
    EXPECT_EQ(move(1), "ptz-channel 1 mode 0 available 1 / ptz-move 2 0 ch 1");
    update(model, [](ConfigRecord& r) {
        r.setValue(configField("ptz_id"), 1, 9);
        r.setValue(configField("ptz_baud"), 2, 0);
        r.setValue(configField("ptz_id"), 3, 0);
    });
    EXPECT_EQ(
        move(1),
        "ptz-channel 1 mode 0 available 1 / ptz-move 2 0 ch 1 unanswered: address 9, camera 2");
    EXPECT_EQ(move(2),
              "ptz-channel 2 mode 0 available 1 / ptz-move 2 0 ch 2 unanswered: baud 0, camera 2");
    EXPECT_EQ(move(3), "ptz-channel 3 mode 0 available 0 / ptz-move 2 0 ch 3 ignored");
    EXPECT_EQ(move(0), "ptz-channel 0 mode 0 available 1 / ptz-move 2 0 ch 0");
}

} // namespace
} // namespace kalder::sim
