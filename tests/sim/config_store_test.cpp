// The simulator's configuration record: factory records of each format version and length,
// updates checked and applied to the model, the factory reset.

#include "sim/config_store.h"
#include "sim/recorder_model.h"
#include "sim/sim_config.h"
#include "wire/config_record.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace kalder::sim {
namespace {

SimConfig configWith(RecordVersion version, std::size_t length) {
    SimConfig c = defaultConfig();
    c.recordMajor = version.major;
    c.recordMinor = version.minor;
    c.recordLength = length;
    c.channels[2].title = "Back door";
    c.channels[5].covert = true;
    return c;
}

std::int32_t update(ConfigStore& store, const std::vector<std::byte>& payload,
                    RecorderModel& model) {
    return store.applyUpdate(payload, model, [](std::int32_t) {});
}

// Golden values at the documented offsets, for every version a recorder may send and record
// lengths on both sides of the working copy's 8176 bytes.
TEST(SimConfigStore, FactoryRecordsCarryTheDocumentedLayout) {
    const RecordVersion versions[] = {{4, 2}, {4, 6}, {4, 7}, {4, 8}, {5, 0}};
    for (const RecordVersion v : versions) {
        for (std::size_t length : {std::size_t(6776), std::size_t(8176), std::size_t(9000)}) {
            SCOPED_TRACE(std::to_string(v.major) + "." + std::to_string(v.minor) + " " +
                         std::to_string(length));
            RecorderModel model(configWith(v, length));
            const std::vector<std::byte> payload = model.configStore().transferPayload(model);
            ASSERT_EQ(payload.size(), length + 4);
            const auto r = ConfigRecord::fromTransfer(payload);
            ASSERT_TRUE(r);
            const auto& raw = payload;
            EXPECT_EQ(raw[4 + 0], std::byte{v.major});
            EXPECT_EQ(raw[4 + 1], std::byte{v.minor});
            EXPECT_EQ(r->version(), v);
            // Camera title of channel 3 at 88 + 2 * 32, NUL-terminated.
            EXPECT_EQ(r->text(configField("camera_title"), 2), "Back door");
            EXPECT_EQ(raw[4 + 88 + 64 + 9], std::byte{0});
            EXPECT_EQ(raw[4 + 72 + 5], std::byte{1}); // covert of channel 6
            // Account 0 ADMIN with every right, account 1 USER without the setup right.
            EXPECT_EQ(r->text(configField("account_name"), 0), "ADMIN");
            EXPECT_EQ(raw[4 + 5696 + 32], std::byte{'U'});
            EXPECT_EQ(raw[4 + 5624 + 8 * 1 + 0], std::byte{1});
            EXPECT_EQ(raw[4 + 5624 + 8 * 1 + 1], std::byte{0});
            // u16 fields travel big-endian: rec_time_2 = 120 at 650.
            EXPECT_EQ(raw[4 + 650], std::byte{0});
            EXPECT_EQ(raw[4 + 651], std::byte{120});
            EXPECT_EQ(r->value(configField("reserved_3508")), 0x0A0B0C0Du);
            EXPECT_EQ(r->value(configField("notify_a_5")), v.above(4, 6) ? 1u : 0u);
            EXPECT_EQ(r->seal(), payload);
        }
    }
}

TEST(SimConfigStore, UpdateIsCheckedThenAppliedToTheModel) {
    RecorderModel model(configWith({5, 0}, 8176));
    ConfigStore& store = model.configStore();
    std::atomic<unsigned> changes{0};
    model.addListener([&](unsigned c) { changes |= c; });

    auto r = ConfigRecord::fromTransfer(store.transferPayload(model));
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->setText(configField("camera_title"), 0, "Gate", TextFill::Terminate));
    ASSERT_TRUE(r->setRight(1, 1, true));                             // USER gets remote setup
    ASSERT_TRUE(r->setValue(configField("live_channel"), 16 + 3, 0)); // not channel 4 live
    std::vector<std::byte> payload = r->seal();

    // A wrong CRC or a wrong length is refused with 1 and changes nothing.
    std::vector<std::byte> bad = payload;
    bad[4 + 88] = std::byte{'X'};
    EXPECT_EQ(update(store, bad, model), 1);
    std::vector<std::byte> shorter(payload.begin(), payload.end() - 1);
    EXPECT_EQ(
        update(store, sealConfigTransfer(std::span(shorter).subspan(4), shorter.size()), model), 1);
    // The knob's refusal, then acceptance.
    store.setUpdateNack(81);
    std::int32_t answered = -1;
    EXPECT_EQ(store.applyUpdate(payload, model, [&](std::int32_t c) { answered = c; }), 81);
    EXPECT_EQ(answered, 81);
    EXPECT_EQ(model.channelConfig().titles[0], "CH1");
    EXPECT_EQ(changes.load(), 0u);

    store.setUpdateNack(0);
    EXPECT_EQ(update(store, payload, model), 0);
    EXPECT_EQ(model.channelConfig().titles[0], "Gate");
    EXPECT_TRUE(model.hasRight(1, 1));
    EXPECT_EQ(model.liveViewRights().allowed[1][3], 0);
    EXPECT_EQ(changes.load() &
                  (ModelChange::Rights | ModelChange::Channels | ModelChange::LiveView),
              ModelChange::Rights | ModelChange::Channels | ModelChange::LiveView);
    // The stored record is what was sent, the clock aside.
    auto again = ConfigRecord::fromTransfer(store.transferPayload(model));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->text(configField("camera_title"), 0), "Gate");
    EXPECT_EQ(again->value(configField("reserved_4600"), 7), 0x0107u);

    // The factory reset brings back the start titles and rights.
    store.reset(model);
    EXPECT_EQ(model.channelConfig().titles[0], "CH1");
    EXPECT_FALSE(model.hasRight(1, 1));
}

TEST(SimConfigStore, BadCrcKnobSpoilsOnlyTheCrc) {
    RecorderModel model(configWith({4, 8}, 8176));
    ConfigStore& store = model.configStore();
    store.setBadCrc(true);
    const std::vector<std::byte> spoilt = store.transferPayload(model);
    EXPECT_FALSE(verifyConfigTransfer(spoilt));
    store.setBadCrc(false);
    const std::vector<std::byte> good = store.transferPayload(model);
    EXPECT_TRUE(verifyConfigTransfer(good));
    EXPECT_EQ(spoilt.size(), good.size());
}

// A record too short for the live-view table leaves the model's table as it was.
TEST(SimConfigStore, ShortRecordUpdatesOnlyTheFieldsItHolds) {
    RecorderModel model(configWith({4, 2}, 6300));
    ConfigStore& store = model.configStore();
    auto r = ConfigRecord::fromTransfer(store.transferPayload(model));
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->setText(configField("account_name"), 1, "GUARD", TextFill::ClearField));
    EXPECT_EQ(update(store, r->seal(), model), 0);
    EXPECT_EQ(model.rightsTable().names[1], "GUARD");
    EXPECT_EQ(model.liveViewRights().allowed[0][0], 1);
}

} // namespace
} // namespace kalder::sim
